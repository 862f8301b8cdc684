// The headless runner: every pass runs in full (drawing too, since it draws
// random numbers and heats the ground), as fast as the machine allows.
#include "app/headless.h"

#include <cstdio>

#include "app/dump.h"
#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/datadir.h"
#include "platform/glide/softglide.h"
#include "platform/replay.h"
#include "platform/screenshot.h"

namespace tb {

int runHeadless(const Options& options) {
    platform::Replay replay;
    if (!options.replayFile.empty()) {
        std::string error;
        if (!platform::loadReplay(options.replayFile, replay, error)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            return 2;
        }
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
    }

    platform::ReplayKeyboard keyboard(std::move(replay));
    platform::setKeyboard(&keyboard);
    softglide::setRasterEnabled(!options.noPixels);
    softglide::setScale(options.scale > 0 ? int(options.scale) : 1);
    softglide::setThreads(int(options.threads));
    initGame();
    platform::warnDataFiles();

    std::int64_t passes = 0, lastDumped = -1;
    auto writeDump = [&] {
        const std::string line = formatStateDump(passes) + "\n";
        std::fwrite(line.data(), 1, line.size(), dump);
        lastDumped = passes;
    };
    while (!world.quitRequested && (options.frames < 0 || passes < options.frames)) {
        keyboard.beginPass(passes);
        runPass();
        ++passes;
        if (dump && options.dumpEvery > 0 && passes % options.dumpEvery == 0) writeDump();
    }
    if (dump && lastDumped != passes) writeDump();

    int status = 0;
    if (dump && std::fclose(dump) != 0) {
        std::fprintf(stderr, "tankbattle: writing the state dump \"%s\" failed\n", options.dumpFile.c_str());
        status = 1;
    }
    if (!options.screenshotFile.empty()) {
        std::string error;
        if (!platform::writePng(options.screenshotFile, softglide::frontBuffer(), softglide::frameWidth(),
                                softglide::frameHeight(), error)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            status = 1;
        }
    }
    shutdownDisplay();
    platform::setKeyboard(nullptr);
    return status;
}

}  // namespace tb
