// What a new player meets around the game: options that would do nothing are
// refused, screenshots never overwrite older ones, damaged or endless data files
// are named.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/options.h"
#include "platform/screenshot.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using tbtest::readText;

std::string optionError(std::vector<std::string> args) {
    args.insert(args.begin(), "tankbattle");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    tb::Options options;
    std::string error;
    return tb::parseOptions(int(argv.size()), argv.data(), options, error) ? "" : error;
}

TEST(DesktopComforts, OptionsThatWouldDoNothingAreRefused) {
    // clang-format off
    const struct { std::vector<std::string> args; const char* refusal; /* empty: accepted */ } cases[] = {
        {{"--window", "--dump-state", "x"}, "--dump-state works only with --headless"},
        {{"--no-pixels"}, "--no-pixels works only with --headless"},
        {{"--headless", "--frames", "9", "--window"}, "--window is for play in a window"},
        {{"--headless", "--frames", "9", "--volume", "5"}, "--volume is for play in a window"},
        {{"--headless"}, "--headless needs --frames N"},
        {{"--headless", "--frames", "9", "--dump-every", "3"}, "--dump-every needs --dump-state"},
        {{"--volume", "101"}, "from 0 to 100"},
        {{"--headless", "--frames", "9", "--dump-state", "d", "--dump-every", "3", "--no-pixels"}, ""},
        {{"--window", "--volume", "0", "--mute", "--record", "r", "--replay", "p"}, ""}};
    // clang-format on
    for (const auto& c : cases) {
        const std::string error = optionError(c.args);
        if (*c.refusal)
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.args[0] << ": " << error;
        else
            EXPECT_EQ(error, "") << c.args[0];
    }
}

TEST(DesktopComforts, ScreenshotsTakeTheNextFreeNumber) {
    tbtest::ScratchDir dir{"shots"};
    for (const char* name : {"tankbattle-001.png", "tankbattle-002.png", "tankbattle-004.png"}) dir.write(name, "x");
    int last = 0;
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) names.push_back(fs::path(platform::nextScreenshotPath(dir.path(), last)).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"tankbattle-003.png", "tankbattle-005.png", "tankbattle-006.png"}));
}

TEST(DesktopComforts, DamagedDataFilesAreNamedAndEndlessOnesNeverRead) {
    tbtest::ScratchDir dir{"damaged"};
    const std::string data = TANKBATTLE_GENERATED_DATA;
    // kind 0: these bytes, 1: a directory, 2: /dev/zero, 3: a FIFO, 4: 17 MB; an empty warning:
    // refused at start with exit status 1.
    // clang-format off
    const struct { const char* file; int kind; std::string bytes; const char* warning; } cases[] = {
        {"Tank.ddo", 0, "", "holds no model records (0 bytes)"},
        {"Tank.ddo", 0, std::string(116 * 3 + 5, '\1'), "holds only 3 of the 420 model records"},
        {"Tank.ddo", 0, std::string(300, '\1') + "\x1a" + std::string(50000, '\1'), "cut short by a 0x1A byte at 300"},
        {"Tank.ddo", 1, "", "not a regular file (a directory)"},
        {"tex.bmp", 0, std::string(2000, '\1'), "tex.bmp\" is a bitmap too small (2000 bytes)"},
        {"tex.bmp", 2, "", "not a regular file (a device)"},
        {"tex.bmp", 3, "", "not a regular file (a FIFO)"},
        {"tex2.bmp", 0, "", "tex2.bmp\" is a bitmap too small (0 bytes)"},
        {"tex2.bmp", 4, "", ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " kind " + std::to_string(c.kind));
        fs::remove_all(dir / "data");
        fs::copy(data, dir / "data");
        const fs::path file = dir / "data" / c.file;
        fs::remove(file);
        if (c.kind == 0) dir.write(std::string("data/") + c.file, c.bytes);
        if (c.kind == 1) fs::create_directory(file);
        if (c.kind == 2) fs::create_symlink("/dev/zero", file);
        ASSERT_TRUE(c.kind != 3 || ::mkfifo(file.c_str(), 0600) == 0);
        if (c.kind == 4) dir.write(std::string("data/") + c.file, std::string(17 << 20, '\0'));
        const int status =
            tbtest::runGame("--headless --frames 2 --data '" + (dir / "data").string() + "'", dir / "err");
        const std::string err = readText(dir / "err");
        EXPECT_EQ(status, *c.warning ? 0 : 1) << err;
        EXPECT_NE(err.find(*c.warning ? c.warning : "17825792 bytes, far more than the game reads"), std::string::npos)
            << err;
        EXPECT_EQ(tbtest::lines(err).size(), 1u) << err;
    }
}

}  // namespace
