// Replays: the key presses of a session, pass by pass, as a text file.
//
//   tankbattle-replay 1
//   # comment
//   PASS KEY [KEY ...]
//
// PASS is the 0-based frame-loop pass; PASS values never decrease. A key listed
// for a pass reports one press to the first query of that key in that pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "keyboard.h"

namespace platform {

struct ReplayPass {
    std::int64_t pass;
    std::vector<int> keys;  // virtual-key codes, each at most once
};

struct Replay {
    std::vector<ReplayPass> passes;  // ascending pass numbers, one entry per pass
};

// The replay names of the 30 keys and their virtual-key codes.
int replayKeyCode(const std::string& name);  // -1 when unknown
const char* replayKeyName(int virtualKey);   // nullptr when not a game key
const std::vector<int>& gameKeyCodes();      // the 30 codes in control order

// Parses replay text; on bad input returns false with "LINE: reason" style message in `error`
// (the line number is 1-based).
bool parseReplay(const std::string& text, Replay& replay, std::string& error);
// Reads and parses a replay file; `error` names the file and the line.
bool loadReplay(const std::string& path, Replay& replay, std::string& error);
std::string formatReplay(const Replay& replay);
bool saveReplay(const std::string& path, const Replay& replay, std::string& error);

// Plays a replay back as the keyboard: call beginPass before each pass.
class ReplayKeyboard : public Keyboard {
public:
    explicit ReplayKeyboard(Replay replay) : replay_(std::move(replay)) {}
    void beginPass(std::int64_t pass);
    bool pressedSinceLastQuery(int virtualKey) override;

private:
    Replay replay_;
    std::size_t next_ = 0;
    std::vector<int> pending_;  // keys of the current pass not yet reported
};

// Passes queries on to another keyboard and writes down every press it reports.
class RecordingKeyboard : public Keyboard {
public:
    explicit RecordingKeyboard(Keyboard& source) : source_(source) {}
    void beginPass(std::int64_t pass) { pass_ = pass; }
    bool pressedSinceLastQuery(int virtualKey) override;
    const Replay& recorded() const { return replay_; }

private:
    Keyboard& source_;
    Replay replay_;
    std::int64_t pass_ = 0;
};

}  // namespace platform
