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
#include <cstdio>
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
// (the line number is 1-based). A last line without its newline that does not
// read is what a recording cut short by a crash or a kill leaves: it is left
// out, and `warning` (when given) says so; the whole lines before it play.
bool parseReplay(const std::string& text, Replay& replay, std::string& error, std::string* warning = nullptr);
// Reads and parses a replay file; `error` and `warning` name the file and the line.
bool loadReplay(const std::string& path, Replay& replay, std::string& error, std::string* warning = nullptr);
std::string formatReplay(const Replay& replay);
bool saveReplay(const std::string& path, const Replay& replay, std::string& error);

// A recording written as the game goes, so that a crash or a kill loses nothing
// played: the header and then each pass with keys are appended to PATH.part and
// handed to the system at once. finish() moves the file over PATH, which keeps
// whatever it held until then; a recording never finished stays in PATH.part,
// a valid replay of the game so far.
class ReplayWriter {
public:
    ReplayWriter() = default;
    ReplayWriter(const ReplayWriter&) = delete;
    ReplayWriter& operator=(const ReplayWriter&) = delete;
    ~ReplayWriter();

    bool open(const std::string& path, std::string& error);
    void append(std::int64_t pass, KeySet keys);
    // Makes the recording PATH; false with the reason when any write failed.
    bool finish(std::string& error);
    // For a game that never started: nothing is kept.
    void discard();
    const std::string& partPath() const { return part_; }

private:
    std::string path_, part_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

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

}  // namespace platform
