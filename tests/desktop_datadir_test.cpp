// Finding the data directory: --data, then TANKBATTLE_DATA, then the current
// directory, then beside the executable, then the installed place; and the
// message that names the missing file, the places tried and what to do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/datadir.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::DataSearch;

class DesktopDataDirTest : public ::testing::Test {
protected:
    tbtest::ScratchDir root{"datadir"};
    fs::path oldCwd = fs::current_path();
    std::optional<std::string> oldEnv;

    void SetUp() override {
        for (const char* dir : {"empty", "full", "other"}) fs::create_directories(root / dir);
        for (const std::string& name : platform::dataFileNames()) {
            root.write("full/" + name, "x");
            root.write("other/" + name, "x");
        }
        if (const char* env = std::getenv("TANKBATTLE_DATA")) oldEnv = env;
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        if (oldEnv)
            ::setenv("TANKBATTLE_DATA", oldEnv->c_str(), 1);
        else
            ::unsetenv("TANKBATTLE_DATA");
    }
};

TEST_F(DesktopDataDirTest, TheFirstSourceThatIsGivenOrHoldsTheModelWins) {
    struct Case {
        const char* what;
        std::string explicitDir, env, cwd;  // below root; empty: none
        std::string expectDir;              // below root, "." for the current directory, empty: none
    };
    const Case cases[] = {
        {"--data wins over everything", "other", "full", "full", "other"},
        {"--data is taken even without the files", "empty", "full", "full", "empty"},
        {"the environment wins over the current directory", "", "other", "full", "other"},
        {"the current directory when it holds Tank.ddo", "", "", "full", "."},
        {"an empty current directory is passed over", "", "", "empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::current_path(root / c.cwd);
        if (!c.env.empty())
            ::setenv("TANKBATTLE_DATA", (root / c.env).c_str(), 1);
        else
            ::unsetenv("TANKBATTLE_DATA");
        const DataSearch search =
            platform::findDataDirectory(c.explicitDir.empty() ? "" : (root / c.explicitDir).string(), "tankbattle");
        ASSERT_FALSE(search.tried.empty());
        if (c.expectDir == ".") {
            EXPECT_EQ(search.directory, ".");
        } else if (!c.expectDir.empty()) {
            EXPECT_EQ(search.directory, (root / c.expectDir).string());
            EXPECT_EQ(search.tried, std::vector<std::string>{search.directory});
        } else {
            // Each place once: here, beside the executable (the test program), ..., the installed place.
            const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
            ASSERT_GE(search.tried.size(), 3u);
            EXPECT_EQ(search.tried[0], ".");
            EXPECT_EQ(search.tried[1], (self / "data").string());
            EXPECT_NE(search.tried.back().find("share/tankbattle"), std::string::npos);
            for (std::size_t i = 0; i < search.tried.size(); ++i)
                for (std::size_t j = i + 1; j < search.tried.size(); ++j) EXPECT_NE(search.tried[i], search.tried[j]);
            EXPECT_NE(search.directory, ".");  // found only if this machine has the game installed
        }
    }
}

TEST_F(DesktopDataDirTest, AMissingFileIsNamedWithThePlacesTriedAndWhatToDo) {
    const std::string full = (root / "full").string();
    for (const std::string removed : {"", "Tank.ddo", "tex2.bmp", "bumm.wav"}) {
        if (!removed.empty()) fs::remove(root / ("full/" + removed));
        std::string error;
        EXPECT_EQ(platform::checkDataFiles(DataSearch{full, {full}}, error), removed.empty()) << removed;
        if (!removed.empty()) {
            EXPECT_NE(error.find("\"" + removed + "\""), std::string::npos) << error;
            EXPECT_NE(error.find(full), std::string::npos) << error;
            EXPECT_NE(error.find("--data"), std::string::npos) << error;
            root.write("full/" + removed, "x");
        }
    }
    std::string error;
    EXPECT_FALSE(platform::checkDataFiles(DataSearch{"", {".", "/somewhere/else"}}, error));
    EXPECT_NE(error.find("/somewhere/else"), std::string::npos) << error;
    EXPECT_NE(error.find("TANKBATTLE_DATA"), std::string::npos) << error;
}

}  // namespace
