// docgen: makes the documents that ship with the game from the options table
// and NEWS.md, and keeps README.md's option tables in step with them.
//
//   docgen fill TEMPLATE NEWS.md OUT [NAME=VALUE...]   fill @VERSION@, @DATE@ (of the
//                            newest release), @OPTIONS@ (the manual page's), @RELEASES@
//                            (AppStream's) and the NAME=VALUE pairs given
//   docgen changelog NEWS.md MAINTAINER OUT           the Debian changelog
//   docgen readme README.md [--write]                 check (or rewrite) its option tables
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/options.h"
#include "docs.h"

namespace {

const char* const kReadmeBegin =
    "<!-- the option tables below are made from src/app/options.cpp: build/tools/docgen readme README.md --write -->";
const char* const kReadmeEnd = "<!-- end of options -->";

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool writeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "docgen: %s\n", message.c_str());
    return 1;
}

// NEWS.md's releases; its newest must be this program's version.
bool readNews(const std::string& path, std::vector<docgen::Release>& releases, std::string& error) {
    std::string text;
    if (!readFile(path, text)) {
        error = "cannot read " + path;
        return false;
    }
    if (!docgen::parseNews(text, releases, error)) return false;
    if (releases.front().version != tb::programVersion()) {
        error = path + ": the newest release is " + releases.front().version + " but VERSION says " +
                tb::programVersion() + "; say in NEWS.md what " + tb::programVersion() + " brings";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error, text, out;
    std::vector<docgen::Release> releases;
    if (args.size() >= 3 && args[0] == "fill") {
        if (!readNews(args[2], releases, error)) return fail(error);
        if (!readFile(args[1], text)) return fail("cannot read " + args[1]);
        std::vector<std::pair<std::string, std::string>> values = {{"VERSION", tb::programVersion()},
                                                                   {"DATE", releases.front().date},
                                                                   {"OPTIONS", docgen::manOptions()},
                                                                   {"RELEASES", docgen::appstreamReleases(releases)}};
        for (std::size_t i = 4; i < args.size(); ++i) {
            const std::size_t eq = args[i].find('=');
            if (eq == std::string::npos) return fail("expected NAME=VALUE, not \"" + args[i] + "\"");
            values.emplace_back(args[i].substr(0, eq), args[i].substr(eq + 1));
        }
        if (args.size() < 4 || !docgen::fillTemplate(text, values, out, error))
            return fail(args[1] + ": " + (error.empty() ? "no output file given" : error));
        return writeFile(args[3], out) ? 0 : fail("cannot write " + args[3]);
    }
    if (args.size() == 4 && args[0] == "changelog") {
        if (!readNews(args[1], releases, error)) return fail(error);
        return writeFile(args[3], docgen::debianChangelog(releases, args[2])) ? 0 : fail("cannot write " + args[3]);
    }
    if ((args.size() == 2 || (args.size() == 3 && args[2] == "--write")) && args[0] == "readme") {
        if (!readFile(args[1], text)) return fail("cannot read " + args[1]);
        std::string updated = text;
        if (!docgen::replaceBetween(updated, kReadmeBegin, kReadmeEnd, docgen::markdownOptions()))
            return fail(args[1] + ": no lines \"" + kReadmeBegin + "\" and \"" + kReadmeEnd + "\" around the options");
        if (updated == text) return 0;
        if (args.size() == 3) return writeFile(args[1], updated) ? 0 : fail("cannot write " + args[1]);
        return fail(args[1] +
                    "'s option tables differ from the options the program has; rewrite them with: "
                    "docgen readme " +
                    args[1] + " --write");
    }
    return fail(
        "usage: docgen fill TEMPLATE NEWS.md OUT [NAME=VALUE...] | changelog NEWS.md MAINTAINER OUT | "
        "readme README.md [--write]");
}
