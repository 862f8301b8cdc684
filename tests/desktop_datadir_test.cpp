// Finding the data directory: --data, then TANKBATTLE_DATA, then the current
// directory, then beside the executable, then the installed place; and the
// message that names the missing file, the places tried and what to do.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/datadir.h"

namespace {

namespace fs = std::filesystem;
using platform::checkDataFiles;
using platform::DataSearch;
using platform::findDataDirectory;

void touch(const fs::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fputs("x", f);
    std::fclose(f);
}

class DesktopDataDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tankbattle_datadir_" + std::to_string(::getpid()));
        fs::create_directories(root_ / "empty");
        fs::create_directories(root_ / "full");
        fs::create_directories(root_ / "other");
        for (const std::string& name : platform::dataFileNames()) {
            touch(root_ / "full" / name);
            touch(root_ / "other" / name);
        }
        oldCwd_ = fs::current_path();
        if (const char* env = std::getenv("TANKBATTLE_DATA")) oldEnv_ = env;
        ::unsetenv("TANKBATTLE_DATA");
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        if (oldEnv_) ::setenv("TANKBATTLE_DATA", oldEnv_->c_str(), 1);
        else ::unsetenv("TANKBATTLE_DATA");
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path root_;
    fs::path oldCwd_;
    std::optional<std::string> oldEnv_;
};

TEST_F(DesktopDataDirTest, TheFirstSourceThatIsGivenOrHoldsTheModelWins) {
    struct Case {
        const char* what;
        std::string explicitDir;  // relative to root_, empty: none
        std::string env;          // relative to root_, empty: unset
        std::string cwd;          // relative to root_
        std::string expectDir;    // relative to root_, "." for the current directory, empty: none
    };
    const std::vector<Case> cases = {
        {"--data wins over everything", "other", "full", "full", "other"},
        {"--data is taken even without the files", "empty", "full", "full", "empty"},
        {"the environment wins over the current directory", "", "other", "full", "other"},
        {"the current directory when it holds Tank.ddo", "", "", "full", "."},
        {"an empty current directory is passed over", "", "", "empty", ""},
    };
    for (const Case& c : cases) {
        fs::current_path(root_ / c.cwd);
        if (!c.env.empty()) ::setenv("TANKBATTLE_DATA", (root_ / c.env).c_str(), 1);
        else ::unsetenv("TANKBATTLE_DATA");
        std::string explicitDir = c.explicitDir.empty() ? "" : (root_ / c.explicitDir).string();
        DataSearch search = findDataDirectory(explicitDir, "/nonexistent/bin/tankbattle");
        if (c.expectDir.empty()) {
            // Unless this machine has the game installed, nothing is found.
            if (!search.directory.empty()) {
                EXPECT_NE(search.directory, ".") << c.what;
            }
        } else if (c.expectDir == ".") {
            EXPECT_EQ(search.directory, ".") << c.what;
        } else {
            EXPECT_EQ(search.directory, (root_ / c.expectDir).string()) << c.what;
        }
        ASSERT_FALSE(search.tried.empty()) << c.what;
        EXPECT_EQ(search.tried.back(), search.directory.empty() ? search.tried.back() : search.directory) << c.what;
    }
}

TEST_F(DesktopDataDirTest, TheSearchTriesEachPlaceOnceInOrder) {
    fs::current_path(root_ / "empty");
    DataSearch search = findDataDirectory("", "tankbattle");
    ASSERT_GE(search.tried.size(), 2u);
    EXPECT_EQ(search.tried.front(), ".");
    // Beside the executable (the test program here) comes before any installed place.
    fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    std::vector<std::string> expectedOrder = {".", (self / "data").string()};
    for (std::size_t i = 0; i < expectedOrder.size() && i < search.tried.size(); ++i)
        EXPECT_EQ(search.tried[i], expectedOrder[i]) << i;
    for (std::size_t i = 0; i < search.tried.size(); ++i)
        for (std::size_t j = i + 1; j < search.tried.size(); ++j) EXPECT_NE(search.tried[i], search.tried[j]);
    bool installedShare = false;
    for (const std::string& dir : search.tried)
        installedShare = installedShare || dir.find("share/tankbattle") != std::string::npos;
    EXPECT_TRUE(installedShare);
}

TEST_F(DesktopDataDirTest, AMissingFileIsNamedWithThePlacesTriedAndWhatToDo) {
    struct Case {
        std::string removed;  // "" : nothing missing
    };
    for (const Case& c : std::vector<Case>{{""}, {"Tank.ddo"}, {"tex2.bmp"}, {"bumm.wav"}}) {
        if (!c.removed.empty()) fs::remove(root_ / "full" / c.removed);
        DataSearch search{(root_ / "full").string(), {(root_ / "full").string()}};
        std::string error;
        bool ok = checkDataFiles(search, error);
        EXPECT_EQ(ok, c.removed.empty()) << c.removed;
        if (!c.removed.empty()) {
            EXPECT_NE(error.find("\"" + c.removed + "\""), std::string::npos) << error;
            EXPECT_NE(error.find((root_ / "full").string()), std::string::npos) << error;
            EXPECT_NE(error.find("--data"), std::string::npos) << error;
            touch(root_ / "full" / c.removed);
        }
    }
    DataSearch none{"", {".", "/somewhere/else"}};
    std::string error;
    EXPECT_FALSE(checkDataFiles(none, error));
    EXPECT_NE(error.find("/somewhere/else"), std::string::npos) << error;
    EXPECT_NE(error.find("TANKBATTLE_DATA"), std::string::npos) << error;
}

}  // namespace
