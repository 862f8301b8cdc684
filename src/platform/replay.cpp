// Replay files: parsing with line-exact errors, writing, and playing back or
// recording key presses pass by pass.
#include "replay.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

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

bool parseReplay(const std::string& text, Replay& replay, std::string& error) {
    replay.passes.clear();
    bool headerSeen = false;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        const std::vector<std::string> words = splitWords(line);
        if (words.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = std::to_string(number) + ": " + why;
            return false;
        };
        if (!headerSeen) {
            if (words.size() != 2 || words[0] != kHeader || words[1] != "1")
                return fail("expected the header \"tankbattle-replay 1\"");
            headerSeen = true;
            continue;
        }
        std::int64_t pass;
        if (!parsePass(words[0], pass)) return fail("\"" + words[0] + "\" is not a pass number");
        if (words.size() < 2) return fail("pass " + words[0] + " lists no key");
        if (!replay.passes.empty() && pass < replay.passes.back().pass)
            return fail("pass " + words[0] + " comes after pass " + std::to_string(replay.passes.back().pass));
        if (replay.passes.empty() || replay.passes.back().pass != pass) replay.passes.push_back({pass, {}});
        std::vector<int>& keys = replay.passes.back().keys;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const int code = replayKeyCode(words[i]);
            if (code < 0) return fail("unknown key \"" + words[i] + "\"");
            if (std::find(keys.begin(), keys.end(), code) == keys.end()) keys.push_back(code);
        }
    }
    if (!headerSeen) {
        error = "1: expected the header \"tankbattle-replay 1\"";
        return false;
    }
    return true;
}

bool loadReplay(const std::string& path, Replay& replay, std::string& error) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    // A replay grows with the session: an hour of play is well under a megabyte.
    if (!readWholeFile(path, bytes, why, std::uint64_t(256) << 20)) {
        error = path + ": cannot read the replay: " + why;
        return false;
    }
    if (!parseReplay(std::string(bytes.begin(), bytes.end()), replay, why)) {
        error = path + ":" + why;
        return false;
    }
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

bool RecordingKeyboard::pressedSinceLastQuery(int virtualKey) {
    if (!source_.pressedSinceLastQuery(virtualKey)) return false;
    if (replay_.passes.empty() || replay_.passes.back().pass != pass_) replay_.passes.push_back({pass_, {}});
    std::vector<int>& keys = replay_.passes.back().keys;
    if (std::find(keys.begin(), keys.end(), virtualKey) == keys.end()) keys.push_back(virtualKey);
    return true;
}

}  // namespace platform
