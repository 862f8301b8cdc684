// The documents made from the options table and NEWS.md: every option reaches
// --help, the manual page and README.md; NEWS.md's mistakes are named by line;
// its releases become AppStream releases and a Debian changelog that say the same.
#include <gtest/gtest.h>

#include "app/options.h"
#include "docgen/docs.h"
#include "test_support.h"

namespace {

using docgen::Release;

TEST(ReleaseDocs, EveryOptionIsInHelpManualAndReadmeAndHelpFitsATerminal) {
    const std::string help = tb::usageText(), manual = docgen::manOptions(), readme = docgen::markdownOptions();
    for (const tb::OptionSpec& o : tb::optionTable()) {
        const std::string name = o.name;
        EXPECT_NE(help.find("  " + name), std::string::npos) << name;
        EXPECT_NE(manual.find(docgen::roffText(name)), std::string::npos) << name;
        EXPECT_NE(readme.find("`" + name), std::string::npos) << name;
        EXPECT_NE(help.find(tb::wrapText(o.help, 0, 1000).substr(0, 20)), std::string::npos) << name;
    }
    for (const std::string& line : tbtest::lines(help)) EXPECT_LE(line.size(), 79u) << line;
    EXPECT_EQ(tb::wrapText("one two three four", 2, 9), "one two\n  three\n  four\n");
    EXPECT_EQ(tb::wrapText("unbreakable-word x", 4, 6), "unbreakable-word\n    x\n");
}

TEST(ReleaseDocs, NewsIsReadAsReleasesAndEachMistakeIsNamedWithItsLine) {
    std::vector<Release> releases;
    std::string error;
    ASSERT_TRUE(
        docgen::parseNews("# News\n\nIntro text.\n\n## 2.0 (2027-01-31)\n\n- First,\n  continued.\n- Second.\n"
                          "\n## 1.9.1 (2027-01-31)\n- Old.\n",
                          releases, error))
        << error;
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(std::tuple(releases[0].version, releases[0].date, releases[0].items),
              std::tuple(std::string("2.0"), std::string("2027-01-31"),
                         std::vector<std::string>{"First, continued.", "Second."}));
    EXPECT_EQ(releases[1].items, std::vector<std::string>{"Old."});

    // clang-format off
    const std::pair<const char*, const char*> mistakes[] = {
        {"## 1.0 2026-12-08\n- x\n", "NEWS.md:1: a release heading reads"},
        {"## 1.0 (2026-02-30)\n- x\n", "NEWS.md:1: no such date 2026-02-30"},
        {"- x\n## 1.0 (2026-12-08)\n", "NEWS.md:1: an item before the first release heading"},
        {"## 1.1 (2026-12-08)\n\n## 1.0 (2026-12-01)\n- x\n", "NEWS.md:3: release 1.1 lists nothing it brought"},
        {"## 1.0 (2026-12-01)\n- x\n## 1.1 (2026-12-08)\n- y\n", "NEWS.md:3: releases go newest first"},
        {"## 1.0 (2026-12-08)\n- x\n## 1.0 (2026-12-01)\n- y\n", "NEWS.md:3: release 1.0 is listed twice"},
        {"## 1.0 (2026-12-08)\n- x\n\n  stray\n", "NEWS.md:4: an indented line that continues no item"},
        {"Intro\n  indented\n## 1.0 (2026-12-08)\n- x\n", "NEWS.md:2: an indented line that continues no item"},
        {"## 1.0 (2026-12-08)\n- x\nplain text\n", "NEWS.md:3: within a release, only items"},
        {"## 1.0 (2026-12-08)\n", "NEWS.md: release 1.0 lists nothing it brought"},
        {"# News\n", "NEWS.md: no release heading"}};
    // clang-format on
    for (const auto& [text, message] : mistakes) {
        EXPECT_FALSE(docgen::parseNews(text, releases, error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << " gave: " << error;
    }
}

TEST(ReleaseDocs, ReleasesReadTheSameInAppStreamAndTheDebianChangelog) {
    const std::vector<Release> releases = {{"1.1",
                                            "2026-12-08",
                                            {"Use `--scale 2` & <enjoy>, or `a",
                                             "A long item that goes on and on past the end of "
                                             "one line of the changelog, so it is wrapped."}},
                                           {"1.0", "2024-02-29", {"First."}}};
    EXPECT_EQ(docgen::appstreamReleases(releases),
              "    <release version=\"1.1\" date=\"2026-12-08\">\n      <description>\n        <ul>\n"
              "          <li>Use <code>--scale 2</code> &amp; &lt;enjoy&gt;, or <code>a</code></li>\n"
              "          <li>A long item that goes on and on past the end of one line of the changelog, so it is "
              "wrapped.</li>\n"
              "        </ul>\n      </description>\n    </release>\n"
              "    <release version=\"1.0\" date=\"2024-02-29\">\n      <description>\n        <ul>\n"
              "          <li>First.</li>\n        </ul>\n      </description>\n    </release>\n");
    EXPECT_EQ(docgen::debianChangelog(releases, "A Maintainer <a@example.org>"),
              "tankbattle (1.1) unstable; urgency=medium\n\n"
              "  * Use `--scale 2` & <enjoy>, or `a\n"
              "  * A long item that goes on and on past the end of one line of the changelog,\n"
              "    so it is wrapped.\n\n"
              " -- A Maintainer <a@example.org>  Tue, 08 Dec 2026 00:00:00 +0000\n\n"
              "tankbattle (1.0) unstable; urgency=medium\n\n  * First.\n\n"
              " -- A Maintainer <a@example.org>  Thu, 29 Feb 2024 00:00:00 +0000\n");
}

TEST(ReleaseDocs, RoffShowsOptionDashesAsMinusAndNothingAsARequest) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"needs --frames N", "needs \\-\\-frames N"}, {"every K-th frame", "every K-th frame"},
        {"(-1) or \"-x\"", "(\\-1) or \"\\-x\""}, {"a\\b", "a\\eb"}, {".hidden", "\\&.hidden"}, {"'quoted'", "\\&'quoted'"}};
    // clang-format on
    for (const auto& [text, roff] : cases) EXPECT_EQ(docgen::roffText(text), roff) << text;
}

TEST(ReleaseDocs, TemplatesAndReadmeBlocksAreFilledOrTheGapIsNamed) {
    std::string out, error;
    EXPECT_TRUE(docgen::fillTemplate("v@VERSION@ @A@@A@ x@y", {{"VERSION", "1"}, {"A", "-"}}, out, error));
    EXPECT_EQ(out, "v1 -- x@y");
    EXPECT_FALSE(docgen::fillTemplate("@VERSION@ @DATE@", {{"VERSION", "1"}}, out, error));
    EXPECT_EQ(error, "@DATE@ has no value");

    // clang-format off
    const struct { const char *text, *after; } cases[] = {
        {"a\n<b>\nold\nolder\n<e>\nz\n", "a\n<b>\nNEW\n<e>\nz\n"}, {"<b>\n<e>\n", "<b>\nNEW\n<e>\n"},
        {"a\n<b>\nold\n", nullptr}, {"x<b>\n<e>\n", nullptr}, {"<e>\n<b>\n", nullptr}};
    // clang-format on
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(docgen::replaceBetween(text, "<b>", "<e>", "NEW\n"), c.after != nullptr) << c.text;
        EXPECT_EQ(text, c.after ? c.after : c.text) << c.text;
    }
}

}  // namespace
