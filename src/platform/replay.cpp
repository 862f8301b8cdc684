// Replay files: parsing with line-exact errors, writing, and playing back or
// recording key presses pass by pass.
#include "replay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "files.h"
#include "stream.h"

namespace platform {
namespace {

constexpr const char* kHeader = "tankbattle-replay";

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool parsePass(const std::string& word, std::int64_t& pass) {
    if (word.empty() || word.size() > 15) return false;
    pass = 0;
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        pass = pass * 10 + (c - '0');
    }
    return true;
}

// One line of keys, added to the replay only when the whole line reads; else why not.
std::string parsePassLine(const std::vector<std::string>& words, Replay& replay) {
    std::int64_t pass;
    if (!parsePass(words[0], pass)) return "\"" + words[0] + "\" is not a pass number";
    if (words.size() < 2) return "pass " + words[0] + " lists no key";
    if (!replay.passes.empty() && pass < replay.passes.back().pass)
        return "pass " + words[0] + " comes after pass " + std::to_string(replay.passes.back().pass);
    std::vector<int> codes;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const int code = replayKeyCode(words[i]);
        if (code < 0) return "unknown key \"" + words[i] + "\"";
        codes.push_back(code);
    }
    if (replay.passes.empty() || replay.passes.back().pass != pass) replay.passes.push_back({pass, {}});
    std::vector<int>& keys = replay.passes.back().keys;
    for (int code : codes)
        if (std::find(keys.begin(), keys.end(), code) == keys.end()) keys.push_back(code);
    return {};
}

}  // namespace

int replayKeyCode(const std::string& name) {
    for (const GameKey& k : kGameKeys)
        if (name == k.name) return k.code;
    return -1;
}

const char* replayKeyName(int virtualKey) {
    for (const GameKey& k : kGameKeys)
        if (virtualKey == k.code) return k.name;
    return nullptr;
}

const std::vector<int>& gameKeyCodes() {
    static const std::vector<int> codes = [] {
        std::vector<int> c;
        for (const GameKey& k : kGameKeys) c.push_back(k.code);
        return c;
    }();
    return codes;
}

bool parseReplay(const std::string& text, Replay& replay, std::string& error, std::string* warning) {
    replay.passes.clear();
    bool headerSeen = false;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const bool cut = in.eof() && !text.empty() && text.back() != '\n';
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        const std::vector<std::string> words = splitWords(line);
        if (words.empty()) continue;
        std::string why;
        if (!headerSeen) {
            if (words.size() != 2 || words[0] != kHeader || words[1] != "1")
                why = "expected the header \"tankbattle-replay 1\"";
            headerSeen = why.empty();
        } else {
            why = parsePassLine(words, replay);
        }
        if (why.empty()) continue;
        if (cut && headerSeen) {
            if (warning)
                *warning = std::to_string(number) + ": the last line is cut short (" + why +
                           "); the whole lines before it play";
            return true;
        }
        error = std::to_string(number) + ": " + why;
        return false;
    }
    if (!headerSeen) {
        error = "1: expected the header \"tankbattle-replay 1\"";
        return false;
    }
    return true;
}

bool loadReplay(const std::string& path, Replay& replay, std::string& error, std::string* warning) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    // A replay grows with the game: an hour of play is well under a megabyte.
    if (!readWholeFile(path, bytes, why, std::uint64_t(256) << 20)) {
        error = path + ": cannot read the replay: " + why;
        return false;
    }
    if (!parseReplay(std::string(bytes.begin(), bytes.end()), replay, why, warning)) {
        error = path + ":" + why;
        return false;
    }
    if (warning && !warning->empty()) *warning = path + ":" + *warning;
    return true;
}

std::string formatReplay(const Replay& replay) {
    std::string out = std::string(kHeader) + " 1\n";
    for (const ReplayPass& p : replay.passes) {
        if (p.keys.empty()) continue;
        out += std::to_string(p.pass);
        for (int code : p.keys)
            if (const char* name = replayKeyName(code)) out += std::string(" ") + name;
        out += '\n';
    }
    return out;
}

bool saveReplay(const std::string& path, const Replay& replay, std::string& error) {
    const std::string text = formatReplay(replay);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": cannot write the replay";
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) {
        error = path + ": writing the replay failed";
        return false;
    }
    return true;
}

ReplayWriter::~ReplayWriter() {
    if (file_) std::fclose(file_);
}

bool ReplayWriter::open(const std::string& path, std::string& error) {
    path_ = path;
    part_ = path + ".part";
    file_ = std::fopen(part_.c_str(), "wb");
    if (!file_) {
        error = "cannot write the recording \"" + part_ + "\": " + std::strerror(errno);
        return false;
    }
    failed_ = std::fprintf(file_, "%s 1\n", kHeader) < 0 || std::fflush(file_) != 0;
    return true;
}

void ReplayWriter::append(std::int64_t pass, KeySet keys) {
    if (!file_ || keys == 0) return;
    std::string line = std::to_string(pass);
    for (const GameKey& k : kGameKeys)
        if (keys & keyBit(k.code)) line += std::string(" ") + k.name;
    line += '\n';
    // Handed to the system line by line: a killed game's last pass is in the file.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) failed_ = true;
}

void ReplayWriter::discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(part_.c_str());
}

bool ReplayWriter::finish(std::string& error) {
    if (!file_) return true;
    const bool synced = std::fflush(file_) == 0 && syncFile(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !synced || !closed) {
        error = "writing the recording \"" + part_ + "\" failed; the game so far is in it, \"" + path_ +
                "\" is as it was";
        return false;
    }
    if (!replaceFile(part_, path_, error)) {
        error = "cannot put the recording in place: " + error + "; the game is in \"" + part_ + "\"";
        return false;
    }
    return true;
}

void ReplayKeyboard::beginPass(std::int64_t pass) {
    pending_.clear();
    while (next_ < replay_.passes.size() && replay_.passes[next_].pass < pass) ++next_;
    if (next_ < replay_.passes.size() && replay_.passes[next_].pass == pass) pending_ = replay_.passes[next_].keys;
}

bool ReplayKeyboard::pressedSinceLastQuery(int virtualKey) {
    auto it = std::find(pending_.begin(), pending_.end(), virtualKey);
    if (it == pending_.end()) return false;
    pending_.erase(it);
    return true;
}

}  // namespace platform
