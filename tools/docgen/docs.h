// The documents made from the options table and NEWS.md: the manual page's
// options, README.md's option tables, the AppStream releases and the Debian
// changelog, so that none of them can say other than the program does.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace docgen {

struct Release {
    std::string version, date;       // "1.0.0", "2026-12-08"
    std::vector<std::string> items;  // what it brought, one paragraph each, `code` as in Markdown
};

// NEWS.md's releases, newest first: each a heading "## VERSION (YYYY-MM-DD)"
// followed by items "- text", continued on lines indented by two spaces; text
// before the first heading is an introduction. On a line that fits none of
// these returns false with "NEWS.md:LINE: what is wrong".
bool parseNews(const std::string& text, std::vector<Release>& releases, std::string& error);

// Text as roff shows it: backslashes escaped, the dashes of options as minus signs.
std::string roffText(const std::string& text);
// The manual page's options: a subsection per group, a tagged paragraph per option.
std::string manOptions();
// README.md's option tables, one per group.
std::string markdownOptions();
// The releases as AppStream <release> elements, `code` as <code>.
std::string appstreamReleases(const std::vector<Release>& releases);
// The releases as a Debian changelog of a native package, signed by `maintainer`.
std::string debianChangelog(const std::vector<Release>& releases, const std::string& maintainer);

// The template with each @NAME@ replaced by its value; an @NAME@ that has none
// is an error ("@NAME@ has no value").
bool fillTemplate(const std::string& text, const std::vector<std::pair<std::string, std::string>>& values,
                  std::string& out, std::string& error);

// The lines strictly between the line `begin` and the next line `end` replaced
// by `content`; false when either line is missing.
bool replaceBetween(std::string& text, const std::string& begin, const std::string& end, const std::string& content);

}  // namespace docgen
