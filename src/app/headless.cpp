// The headless runner: every pass runs in full (drawing too, since it draws
// random numbers and heats the ground), as fast as the machine allows.
#include "app/headless.h"

#include <cstdio>

#include "app/dump.h"
#include "app/online.h"
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
    if (options.syncTest > 0) session.syncTest(int(options.syncTest));
    session.setPixels(!options.noPixels);
    std::unique_ptr<Netplay> online;
    if (options.hostPort > 0 || !options.joinAddress.empty()) {
        std::string error;
        online = openOnline(options, error);
        if (online) std::fprintf(stderr, "tankbattle: %s\n", onlineWaitingText(options, false).c_str());
        if (!online || !connectOnline(
                           *online, [] { return true; }, error)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            return 1;
        }
        session.playOnline(*online);
    }
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
    } else if (const std::string ending = session.ending(); !ending.empty()) {
        std::fprintf(stderr, "tankbattle: %s\n", ending.c_str());
    }
    if (online && timingReportWanted())
        std::fprintf(stderr, "tankbattle: %s\n", onlineReport(*online, session.passes()).c_str());
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
