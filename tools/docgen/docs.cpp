// Renders the options table and NEWS.md into the documents that ship with the game.
#include "docs.h"

#include <chrono>
#include <cstdio>
#include <regex>
#include <sstream>

#include "app/options.h"

namespace docgen {

namespace {

std::string lineError(std::size_t line, const std::string& what) {
    return "NEWS.md:" + std::to_string(line) + ": " + what;
}

std::chrono::year_month_day parseDate(const std::string& date) {
    const int y = std::stoi(date.substr(0, 4));
    const unsigned m = unsigned(std::stoi(date.substr(5, 2))), d = unsigned(std::stoi(date.substr(8, 2)));
    return std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d};
}

std::string xmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

bool parseNews(const std::string& text, std::vector<Release>& releases, std::string& error) {
    static const std::regex heading(R"(## ([0-9]+(\.[0-9]+)*) \(([0-9]{4}-[0-9]{2}-[0-9]{2})\))");
    releases.clear();
    std::istringstream in(text);
    std::string line;
    bool inItem = false;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        std::smatch m;
        if (line.rfind("## ", 0) == 0) {
            if (!std::regex_match(line, m, heading)) {
                error = lineError(number, "a release heading reads \"## VERSION (YYYY-MM-DD)\"");
                return false;
            }
            const std::string date = m[3];
            if (!parseDate(date).ok()) {
                error = lineError(number, "no such date " + date);
                return false;
            }
            if (!releases.empty() && releases.back().items.empty()) {
                error = lineError(number, "release " + releases.back().version + " lists nothing it brought");
                return false;
            }
            if (!releases.empty() && parseDate(date) > parseDate(releases.back().date)) {
                error =
                    lineError(number, "releases go newest first, but " + date + " is after " + releases.back().date);
                return false;
            }
            for (const Release& r : releases)
                if (r.version == m[1]) {
                    error = lineError(number, "release " + r.version + " is listed twice");
                    return false;
                }
            releases.push_back({m[1], date, {}});
            inItem = false;
        } else if (line.rfind("- ", 0) == 0) {
            if (releases.empty()) {
                error = lineError(number, "an item before the first release heading");
                return false;
            }
            releases.back().items.push_back(line.substr(2));
            inItem = true;
        } else if (line.rfind("  ", 0) == 0 && line.find_first_not_of(' ') != std::string::npos) {
            if (!inItem) {
                error = lineError(number, "an indented line that continues no item");
                return false;
            }
            releases.back().items.back() += " " + line.substr(line.find_first_not_of(' '));
        } else if (line.find_first_not_of(' ') == std::string::npos) {
            inItem = false;
        } else if (!releases.empty()) {
            error = lineError(number, "within a release, only items \"- ...\" and their indented continuations");
            return false;
        }
    }
    if (releases.empty()) {
        error = "NEWS.md: no release heading \"## VERSION (YYYY-MM-DD)\"";
        return false;
    }
    if (releases.back().items.empty()) {
        error = "NEWS.md: release " + releases.back().version + " lists nothing it brought";
        return false;
    }
    return true;
}

std::string roffText(const std::string& text) {
    std::string out = (!text.empty() && (text[0] == '.' || text[0] == '\'')) ? "\\&" : "";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char before = i > 0 ? text[i - 1] : ' ';
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && (before == ' ' || before == '-' || before == '(' || before == '"'))
            out += "\\-";
        else
            out += c;
    }
    return out;
}

std::string manOptions() {
    std::string out;
    for (const tb::OptionGroupText& g : tb::optionGroups()) {
        out += ".SS " + std::string(g.title) + "\n";
        if (*g.text) out += roffText(g.text) + "\n";
        for (const tb::OptionSpec& o : tb::optionTable()) {
            if (o.group != g.group) continue;
            out += ".TP\n";
            if (o.argument)
                out += ".BI \"" + roffText(o.name) + " \" " + o.argument + "\n";
            else
                out += ".B " + roffText(o.name) + "\n";
            if (o.alias) out += ".PD 0\n.TP\n.B " + roffText(o.alias) + "\n.PD\n";
            out += roffText(o.help) + "\n";
        }
    }
    return out;
}

std::string markdownOptions() {
    std::string out;
    for (const tb::OptionGroupText& g : tb::optionGroups()) {
        if (!out.empty()) out += "\n";
        out += "**" + std::string(g.title) + "**" + (*g.text ? std::string(": ") + g.text : "") + "\n\n";
        out += "| option | what it does |\n|---|---|\n";
        for (const tb::OptionSpec& o : tb::optionTable()) {
            if (o.group != g.group) continue;
            std::string syntax = "`" + std::string(o.name) + (o.argument ? std::string(" ") + o.argument : "") + "`";
            if (o.alias) syntax += ", `" + std::string(o.alias) + "`";
            std::string help;
            for (char c : std::string(o.help)) help += c == '|' ? std::string("\\|") : std::string(1, c);
            out += "| " + syntax + " | " + help + " |\n";
        }
    }
    return out;
}

std::string appstreamReleases(const std::vector<Release>& releases) {
    std::string out;
    for (const Release& r : releases) {
        out += "    <release version=\"" + r.version + "\" date=\"" + r.date + "\">\n";
        out += "      <description>\n        <ul>\n";
        for (const std::string& item : r.items) {
            // `code` spans alternate with plain text, each escaped on its own.
            std::string li;
            bool code = false;
            std::size_t start = 0;
            for (std::size_t tick; (tick = item.find('`', start)) != std::string::npos; start = tick + 1) {
                li += xmlText(item.substr(start, tick - start)) + (code ? "</code>" : "<code>");
                code = !code;
            }
            li += xmlText(item.substr(start)) + (code ? "</code>" : "");
            out += "          <li>" + li + "</li>\n";
        }
        out += "        </ul>\n      </description>\n    </release>\n";
    }
    return out;
}

std::string debianChangelog(const std::vector<Release>& releases, const std::string& maintainer) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string out;
    for (const Release& r : releases) {
        if (!out.empty()) out += "\n";
        out += "tankbattle (" + r.version + ") unstable; urgency=medium\n\n";
        for (const std::string& item : r.items) out += "  * " + tb::wrapText(item, 4, 79);
        const std::chrono::year_month_day ymd = parseDate(r.date);
        const std::chrono::weekday wd{std::chrono::sys_days{ymd}};
        char date[64];
        std::snprintf(date, sizeof date, "%s, %02u %s %04d 00:00:00 +0000", days[wd.c_encoding()], unsigned(ymd.day()),
                      months[unsigned(ymd.month()) - 1], int(ymd.year()));
        out += "\n -- " + maintainer + "  " + date + "\n";
    }
    return out;
}

bool fillTemplate(const std::string& text, const std::vector<std::pair<std::string, std::string>>& values,
                  std::string& out, std::string& error) {
    static const std::regex placeholder("@([A-Z_]+)@");
    out.clear();
    auto from = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), placeholder), end; it != end; ++it) {
        const std::smatch& m = *it;
        out.append(from, m[0].first);
        bool found = false;
        for (const auto& [name, value] : values)
            if (name == m[1]) out += value, found = true;
        if (!found) {
            error = "@" + m[1].str() + "@ has no value";
            return false;
        }
        from = m[0].second;
    }
    out.append(from, text.cend());
    return true;
}

bool replaceBetween(std::string& text, const std::string& begin, const std::string& end, const std::string& content) {
    const std::size_t b = text.find(begin + "\n");
    if (b == std::string::npos || (b > 0 && text[b - 1] != '\n')) return false;
    const std::size_t inner = b + begin.size() + 1;
    const std::size_t e = text.find("\n" + end + "\n", inner - 1);
    if (e == std::string::npos) return false;
    text.replace(inner, e + 1 - inner, content);
    return true;
}

}  // namespace docgen
