// The regression run: committed replays played on the data this build
// generated, held against committed results (tests/regress/NAME.expected): the
// state dump's members every 500 passes, as values or digests, and digests of
// the picture at a few passes. Each replay runs with and without pixels; both
// must give the same dumps. A difference names the first pass and the members
// that differ. scripts/regress.sh --update rewrites the expected files.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "app/digest.h"
#include "app/session.h"
#include "platform/glide/softglide.h"
#include "platform/replay.h"
#include "platform/screenshot.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

constexpr std::int64_t kDumpEvery = 500;

struct Replay {
    const char* name;                  // tests/regress/NAME.replay and NAME.expected
    std::int64_t passes;               // at most this many passes; Escape may end the run sooner
    std::vector<std::int64_t> frames;  // the pictures held: after these passes
};

const Replay kRuns[] = {
    {"battle12", 6000, {1100, 4400, 5600}},
    {"coop", 5000, {1900, 3800}},
    {"churn", 4000, {130, 1100, 1500}},
    {"long", 24000, {900, 17900, 23500}},
};

// "dump PASS name=value ...": the dump line's top-level members, scalars as
// they are written, the heat grid and the tables as digests.
std::string dumpResult(const std::string& line) {
    std::string out = "dump";
    int depth = 0;
    std::size_t start = 1;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        depth += (c == '[' || c == '{') - (c == ']' || c == '}');
        if (depth > 0 || (c != ',' && i + 1 != line.size())) continue;
        const std::string member = line.substr(start, i - start);  // "name":value
        const std::size_t colon = member.find("\":");
        const std::string name = member.substr(1, colon - 1), value = member.substr(colon + 2);
        if (name == "pass")
            out += " " + value;
        else
            out += " " + name + "=" +
                   (value[0] == '[' ? tb::digestHex(tb::digestBytes(value.data(), value.size())) : value);
        start = i + 1;
    }
    return out;
}

// The results of a run in order of passes: dumps, frames ("frame PASS digest"),
// and "end PASS". Without pixels nothing is rasterised; with pixels only the
// few passes before each held picture are.
std::vector<std::string> play(const Replay& run, bool pixels) {
    platform::Replay replay;
    std::string error;
    EXPECT_TRUE(platform::loadReplay(std::string(TANKBATTLE_REGRESS_DIR) + "/" + run.name + ".replay", replay, error))
        << error;
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    std::vector<std::string> results;
    {
        tb::Session session;
        session.playReplay(std::move(replay));
        session.stopAfter(run.passes);
        session.dumpEvery(kDumpEvery, [&](const std::string& line) { results.push_back(dumpResult(line)); });
        session.setPixels(pixels);
        session.keepPictures(run.frames, [&](std::int64_t pass, const std::uint32_t* frame) {
            results.push_back("frame " + std::to_string(pass) + " " +
                              tb::pictureDigest(frame, softglide::kScreenWidth, softglide::kScreenHeight));
            if (std::getenv("TANKBATTLE_REGRESS_PNG")) {  // to look at, when a picture changed
                const std::string png = std::string(run.name) + "-" + std::to_string(pass) + ".png";
                EXPECT_TRUE(platform::writePng(png, frame, softglide::kScreenWidth, softglide::kScreenHeight, error));
            }
        });
        session.start();
        session.run();
        EXPECT_TRUE(session.finish(error)) << error;
        results.push_back("end " + std::to_string(session.passes()));
    }
    return results;
}

// The members of two dump results that differ, as "name=expected, got name=actual".
std::string differingMembers(const std::string& expected, const std::string& actual) {
    const std::vector<std::string> e = tbtest::words(expected), a = tbtest::words(actual);
    std::string out;
    for (std::size_t i = 2; i < e.size(); ++i)
        if (const std::string other = i < a.size() ? a[i] : ""; e[i] != other) out += "\n  " + e[i] + ", got " + other;
    return out.empty() ? "\n  (the members themselves: " + expected + " -> " + actual + ")" : out;
}

class Regress : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(Regress, ReplayGivesTheCommittedResults) {
    const Replay& run = kRuns[std::get<0>(GetParam())];
    const bool pixels = std::get<1>(GetParam());
    const std::string expectedFile = std::string(TANKBATTLE_REGRESS_DIR) + "/" + run.name + ".expected";
    const char* mode = pixels ? " (pixels)" : " (no pixels)";
    const bool update = std::getenv("TANKBATTLE_REGRESS_UPDATE") != nullptr;
    if (update && !pixels) GTEST_SKIP() << "the pixel run writes the expected results";
    const std::vector<std::string> actual = play(run, pixels);

    if (update) {
        std::string text = std::string("# ") + run.name +
                           ".replay on the generated data: the dump every 500 passes and at the end, tables\n"
                           "# as digests; digests of some pictures. Written by scripts/regress.sh --update.\n";
        for (const std::string& line : actual) text += line + "\n";
        return tbtest::writeText(expectedFile, text);
    }
    std::vector<std::string> expected;
    for (const std::string& line : tbtest::lines(tbtest::readText(expectedFile)))
        if (!line.empty() && line[0] != '#' && (pixels || line.rfind("frame ", 0) != 0)) expected.push_back(line);
    ASSERT_FALSE(expected.empty()) << expectedFile << " is missing; scripts/regress.sh --update writes it";
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        const std::string e = i < expected.size() ? expected[i] : "(nothing)";
        const std::string a = i < actual.size() ? actual[i] : "(nothing)";
        if (e == a) continue;
        const std::vector<std::string> ew = tbtest::words(e), aw = tbtest::words(a);
        if (ew.size() > 1 && aw.size() > 1 && ew[0] == "dump" && aw[0] == "dump" && ew[1] == aw[1])
            FAIL() << run.name << mode << ": the state after pass " << ew[1] << " differs in" << differingMembers(e, a);
        FAIL() << run.name << mode << ": the first difference, expected\n  " << e << "\nbut got\n  " << a
               << (e.rfind("frame ", 0) == 0 ? "\n(TANKBATTLE_REGRESS_PNG=1 writes the pictures)" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Replays, Regress,
                         ::testing::Combine(::testing::Range(0, int(std::size(kRuns))), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(kRuns[std::get<0>(info.param)].name) +
                                    (std::get<1>(info.param) ? "_pixels" : "_no_pixels");
                         });

}  // namespace
