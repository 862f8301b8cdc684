// The game in a web page: the canvas shows each frame, keys come from the
// page's key events, sound goes to the page's Web Audio player, and 60 passes
// a second are paced from the animation frames' time stamps. The page
// (platform/web/page.js) starts a game through tb_start and reads its state
// through the other exports. Built with emscripten by platform/web/CMakeLists.txt.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/dump.h"
#include "app/session.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/sound.h"
#include "platform/stream.h"
#include "platform/web/keymap.h"

// The page's side: show a frame, play a sound, hear that the game has ended.
// An image cannot show memory shared with threads: the threaded build copies it.
EM_JS(void, jsPresent, (const std::uint8_t* rgba, int width, int height), {
    const bytes = width * height * 4;
    const pixels = HEAPU8.buffer instanceof
        ArrayBuffer ? new Uint8ClampedArray(HEAPU8.buffer, rgba, bytes)
                    : new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + bytes).buffer);
    Module.present(new ImageData(pixels, width, height));
});
EM_JS(void, jsPlaySound, (const char* name), { Module.playSound(UTF8ToString(name)); });
EM_JS(void, jsGameEnded, (), { Module.gameEnded(); });
// The page's own keys: "pause", "resume", "screenshot", "volumeDown", "volumeUp", "mute".
EM_JS(void, jsCommand, (const char* name), { Module.command(UTF8ToString(name)); });

namespace {

// Key presses latched per virtual key, taken once by the game's query.
class PageKeyboard : public platform::Keyboard {
public:
    void press(int virtualKey) { latched_[virtualKey & 0xFF] = true; }
    void releaseAll() { latched_.fill(false); }
    bool pressedSinceLastQuery(int virtualKey) override {
        return virtualKey > 0 && virtualKey < 256 && std::exchange(latched_[virtualKey], false);
    }

private:
    std::array<bool, 256> latched_{};
};

class PageSound : public platform::Sound {
public:
    void play(const char* fileName) override { jsPlaySound(fileName); }
};

struct Game {
    PageKeyboard keys;
    PageSound sound;
    std::optional<tb::Session> session;
    bool running = false, fast = false;
    bool paused = false;         // by the player: no pass runs, no game key but Escape counts
    double due = 0;              // when the next pass may run (ms, animation frame time)
    std::int64_t restarts = 0;   // how often the schedule was started afresh
    std::string dumps;           // the checkpoint dumps so far, one line each
    std::string pictureDigests;  // "frame PASS DIGEST" lines of the pictures asked for
    std::vector<float> passMs;   // how long the recent passes took (update and pixels)
    std::vector<std::uint8_t> rgba = std::vector<std::uint8_t>(softglide::kScreenWidth * softglide::kScreenHeight * 4);
} game;

std::string reply;  // what the last export returned, kept alive for the page to read

void setPaused(bool paused) {
    if (paused == game.paused || (paused && !game.running)) return;
    game.paused = paused;
    jsCommand(paused ? "pause" : "resume");
}

// The page's own keys act at once, outside the game; the page does all but the pause.
void onCommand(int command) {
    namespace web = platform::web;
    switch (command) {
        case web::kPause: setPaused(!game.paused); break;
        case web::kScreenshot: jsCommand("screenshot"); break;
        case web::kVolumeDown: jsCommand("volumeDown"); break;
        case web::kVolumeUp: jsCommand("volumeUp"); break;
        case web::kMute: jsCommand("mute"); break;
        default: break;
    }
}

// While paused, as on the desktop, only Escape reaches the game (and ends the pause).
EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*) {
    if (event->altKey || event->metaKey) return false;  // the browser's shortcuts
    const bool pressed = type == EMSCRIPTEN_EVENT_KEYDOWN && !event->repeat;
    // With Ctrl, - and = zoom the page, as everywhere.
    if (const int command = event->ctrlKey ? 0 : platform::web::commandFor(event->code)) {
        if (pressed) onCommand(command);
        return true;
    }
    const int key = platform::web::virtualKeyFor(event->code, event->key);
    if (key == 0) return false;
    if (pressed && (!game.paused || key == platform::vk::Escape)) {
        game.keys.press(key);
        setPaused(false);
    }
    return true;  // no scrolling, no browser action for the game's keys
}

EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    game.keys.releaseAll();
    return false;
}

std::int64_t passes() { return game.session ? game.session->passes() : 0; }

void runOnePass() {
    tb::Session& session = *game.session;
    const double started = emscripten_get_now();
    session.step();
    if (game.passMs.size() >= 1 << 16) game.passMs.erase(game.passMs.begin(), game.passMs.begin() + (1 << 15));
    game.passMs.push_back(float(emscripten_get_now() - started));
    if (session.finished()) {
        game.running = false;
        std::string error;
        session.finish(error);  // nothing written to files here
        jsGameEnded();
    }
}

// The frame as bytes R, G, B, A for the canvas.
void present() {
    const std::uint32_t* frame = softglide::frontBuffer();
    std::uint8_t* out = game.rgba.data();
    for (int i = 0; i < softglide::kScreenWidth * softglide::kScreenHeight; ++i, out += 4) {
        out[0] = std::uint8_t(frame[i] >> 16);
        out[1] = std::uint8_t(frame[i] >> 8);
        out[2] = std::uint8_t(frame[i]);
        out[3] = 0xFF;
    }
    jsPresent(game.rgba.data(), softglide::kScreenWidth, softglide::kScreenHeight);
}

// One animation frame. Paced, passes run on a 60 Hz schedule: each pass whose
// time has come (within half a period, since frames arrive with jitter), so
// 30, 60, 120 and 144 Hz displays all give 60 passes a second. A page more
// than two periods behind (a slow machine, a hidden tab) starts the schedule
// afresh from now: the game slows down, one pass a frame, and never skips
// passes or rushes through a backlog.
// Fast, passes run back to back for 30 ms a frame (for watching a replay
// quickly and for tests).
EM_BOOL onAnimationFrame(double now, void*) {
    if (!game.running) return true;
    // A pause moves the schedule along with it: the game goes on where it stopped.
    if (game.paused) {
        game.due = now;
        return true;
    }
    constexpr double kPeriodMs = 1000.0 / 60, kBehindMs = 2 * kPeriodMs, kBudgetMs = 30;
    if (game.fast) {
        const double began = emscripten_get_now();
        while (game.running && emscripten_get_now() - began < kBudgetMs) runOnePass();
        present();
        return true;
    }
    if (passes() == 0) game.due = now;
    if (now - game.due > kBehindMs) {
        game.due = now;
        ++game.restarts;
    }
    int ran = 0;
    for (; game.running && now >= game.due - kPeriodMs / 2 && ran < 3; ++ran) {
        runOnePass();
        game.due += kPeriodMs;
    }
    if (ran > 0) present();
    return true;
}

}  // namespace

extern "C" {

// Starts a new game: live from the keyboard, or watching `replayText` when it
// is not empty. It stops after `frames` passes when that is not negative,
// keeps a state dump every `dumpEvery` passes and at the end, runs passes back
// to back when `fast`, and with `pictures` ("P,P,...") draws only the pictures
// after those passes and keeps their digests. Returns "" or why the replay
// cannot be played.
EMSCRIPTEN_KEEPALIVE const char* tb_start(const char* replayText, double frames, double dumpEvery, int fast,
                                          const char* pictures) {
    platform::Replay replay;
    reply.clear();
    std::string warning;
    if (*replayText && !platform::parseReplay(replayText, replay, reply, &warning)) {
        reply = "replay line " + reply;
        return reply.c_str();
    }
    if (!warning.empty()) std::fprintf(stderr, "tankbattle: replay line %s\n", warning.c_str());
    game.session.reset();  // closes the display of the game before
    tb::Session& session = game.session.emplace();
    if (*replayText)
        session.playReplay(std::move(replay));
    else
        session.playLive(game.keys);
    session.setSound(&game.sound);
    game.keys.releaseAll();
    if (frames >= 0) session.stopAfter(std::int64_t(frames));
    game.dumps.clear();
    session.dumpEvery(std::int64_t(dumpEvery), [](const std::string& line) { game.dumps += line + "\n"; });
    game.fast = fast != 0;
    game.pictureDigests.clear();
    std::vector<std::int64_t> wanted;
    for (const char* p = pictures; *p;) {
        char* end;
        wanted.push_back(std::strtoll(p, &end, 10));
        p = *end ? end + 1 : end;
    }
    if (!wanted.empty())
        session.keepPictures(wanted, [](std::int64_t pass, const std::uint32_t* frame) {
            game.pictureDigests += "frame " + std::to_string(pass) + " " +
                                   tb::pictureDigest(frame, softglide::kScreenWidth, softglide::kScreenHeight) + "\n";
        });
    game.passMs.clear();
    game.restarts = 0;
    setPaused(false);
    session.start();
    game.running = !session.finished();
    return reply.c_str();
}

// The world now, as the same JSON line as the headless --dump-state.
EMSCRIPTEN_KEEPALIVE const char* tb_dump_state() { return (reply = tb::formatStateDump(passes())).c_str(); }

// The checkpoint dumps of this game so far, and the digests of the pictures asked for.
EMSCRIPTEN_KEEPALIVE const char* tb_dumps() { return game.dumps.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* tb_pictures() { return game.pictureDigests.c_str(); }

// The keys of this game so far as a replay file, with the pass count to play it to.
EMSCRIPTEN_KEEPALIVE const char* tb_recording() {
    reply = platform::formatReplay(game.session ? game.session->recorded() : platform::Replay{});
    reply.insert(reply.find('\n') + 1, "# recorded in a web page: " + std::to_string(passes()) +
                                           " passes (play back with --frames " + std::to_string(passes()) + ")\n");
    return reply.c_str();
}

// Passes run, the median time a pass took, and how often the page fell behind
// the 60 Hz schedule and restarted it, as JSON.
EMSCRIPTEN_KEEPALIVE const char* tb_timing() {
    std::vector<float> ms = game.passMs;
    double median = 0;
    if (!ms.empty()) {
        std::nth_element(ms.begin(), ms.begin() + std::ptrdiff_t(ms.size() / 2), ms.end());
        median = ms[ms.size() / 2];
    }
    reply = "{\"passes\":" + std::to_string(passes()) + ",\"medianMs\":" + std::to_string(median) +
            ",\"restarts\":" + std::to_string(game.restarts) + ",\"threads\":" + std::to_string(softglide::threads()) +
            "}";
    return reply.c_str();
}

}  // extern "C"

int main() {
    platform::setDataDirectory("/data");
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, onKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, onKey);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, onBlur);
    emscripten_request_animation_frame_loop(onAnimationFrame, nullptr);
    return 0;
}
