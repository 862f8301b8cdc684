// Process entry: reads the command line, finds the data, and runs the game
// headless or on the desktop.
#include <cstdio>

#include "app/headless.h"
#include "app/options.h"
#include "app/windowed.h"
#include "platform/datadir.h"
#include "platform/stream.h"

int main(int argc, char** argv) {
    tb::Options options;
    std::string error;
    if (!tb::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tankbattle: %s\nTry 'tankbattle --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(tb::usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tankbattle %s\n", tb::programVersion());
        return 0;
    }
    const platform::DataSearch search = platform::findDataDirectory(options.dataDir, argc > 0 ? argv[0] : nullptr);
    if (!platform::checkDataFiles(search, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    platform::setDataDirectory(search.directory);
    return options.headless ? tb::runHeadless(options) : tb::runWindowed(options, argc > 0 ? argv[0] : nullptr);
}
