// The headless runner: every pass runs in full (drawing too, since it draws
// random numbers and heats the ground), as fast as the machine allows.
#include "app/headless.h"

#include <cstdio>

#include "app/dump.h"
#include "app/session.h"
#include "platform/datadir.h"
#include "platform/glide/softglide.h"
#include "platform/replay.h"
#include "platform/screenshot.h"

namespace tb {

int runHeadless(const Options& options) {
    Session session;
    if (!options.replayFile.empty()) {
        platform::Replay replay;
        std::string error, warning;
        if (!platform::loadReplay(options.replayFile, replay, error, &warning)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            return 2;
        }
        if (!warning.empty()) std::fprintf(stderr, "tankbattle: %s\n", warning.c_str());
        session.playReplay(std::move(replay));
    }
    if (std::string error; !options.recordFile.empty() && !session.recordTo(options.recordFile, error)) {
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
        return 1;
    }
    std::FILE* dump = nullptr;
    if (!options.dumpFile.empty()) {
        dump = std::fopen(options.dumpFile.c_str(), "wb");
        if (!dump) {
            std::fprintf(stderr, "tankbattle: cannot write the state dump \"%s\"\n", options.dumpFile.c_str());
            return 1;
        }
        const std::string header = formatDumpHeader() + "\n";
        std::fwrite(header.data(), 1, header.size(), dump);
        session.dumpEvery(options.dumpEvery, [dump](const std::string& line) {
            std::fwrite(line.data(), 1, line.size(), dump);
            std::fputc('\n', dump);
        });
    }
    if (options.frames >= 0) session.stopAfter(options.frames);
    session.setPixels(!options.noPixels);
    softglide::setScale(options.scale > 0 ? int(options.scale) : 1);
    softglide::setThreads(int(options.threads));
    session.start();
    platform::warnDataFiles();
    session.run();

    int status = 0;
    std::string error;
    if (!session.finish(error)) {
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
        status = 1;
    }
    if (dump && std::fclose(dump) != 0) {
        std::fprintf(stderr, "tankbattle: writing the state dump \"%s\" failed\n", options.dumpFile.c_str());
        status = 1;
    }
    if (!options.screenshotFile.empty() &&
        !platform::writePng(options.screenshotFile, softglide::frontBuffer(), softglide::frameWidth(),
                            softglide::frameHeight(), error)) {
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
        status = 1;
    }
    return status;
}

}  // namespace tb
