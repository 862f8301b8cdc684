// Fuzzes the settings reader: any text gives settings and, for every line it
// cannot use, one message naming the file and line; the settings written out
// read back with no message and write out the same again.
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/sdl/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace sdl = platform::sdl;
    const std::string text(reinterpret_cast<const char*>(data), size);
    sdl::Settings settings;
    std::vector<std::string> problems;
    sdl::parseSettings(text, "fuzz", settings, problems);
    for (const std::string& p : problems) fuzz::require(p.rfind("fuzz:", 0) == 0 && p.size() < 400);
    fuzz::require(settings.volume >= 0 && settings.volume <= 100 && settings.scale >= 1 && settings.scale <= 4);

    const std::string written = sdl::formatSettings(settings);
    sdl::Settings again;
    std::vector<std::string> none;
    sdl::parseSettings(written, "again", again, none);
    fuzz::require(none.empty());
    fuzz::require(sdl::formatSettings(again) == written);
    return 0;
}
