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
#include "game/frame_loop.h"
#include "core/world.h"
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
    std::optional<platform::ReplayKeyboard> replay;
    std::optional<platform::RecordingKeyboard> recorder;
    std::int64_t passes = 0, frames = -1, dumpEvery = 0, lastDumped = -1;
    bool running = false, fast = false;
    double due = 0;                      // when the next pass may run (ms, animation frame time)
    std::int64_t restarts = 0;           // how often the schedule was started afresh
    std::string dumps;                   // the checkpoint dumps so far, one line each
    std::vector<std::int64_t> pictures;  // when not empty: pixels only for these pictures (after these passes)
    std::string pictureDigests;          // "frame PASS DIGEST" lines of those pictures
    std::vector<float> passMs;           // how long the recent passes took (update and pixels)
    std::vector<std::uint8_t> rgba = std::vector<std::uint8_t>(softglide::kScreenWidth * softglide::kScreenHeight * 4);
} game;

std::string reply;  // what the last export returned, kept alive for the page to read

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*) {
    const int key = platform::web::virtualKeyFor(event->code, event->key);
    if (key == 0 || event->altKey || event->metaKey) return false;  // not ours: the browser's shortcut
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && !event->repeat) game.keys.press(key);
    return true;  // no scrolling, no browser action for the game's keys
}

EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    game.keys.releaseAll();
    return false;
}

void dumpCheckpoint() {
    game.dumps += tb::formatStateDump(game.passes) + "\n";
    game.lastDumped = game.passes;
}

// FNV-1a, 64 bits, of a picture's 0xAARRGGBB words as stored (little-endian).
std::string pictureDigest(const std::uint32_t* frame) {
    std::uint64_t h = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
    for (int i = 0; i < 4 * softglide::kScreenWidth * softglide::kScreenHeight; ++i)
        h = (h ^ bytes[i]) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

void runOnePass() {
    if (game.replay) game.replay->beginPass(game.passes);
    game.recorder->beginPass(game.passes);
    // A frame is cleared after its swap, so a picture does not depend on the
    // frames before: drawing the few passes before a wanted one is enough.
    const auto& pics = game.pictures;
    const bool wanted = std::find(pics.begin(), pics.end(), game.passes + 1) != pics.end();
    if (!pics.empty())
        softglide::setRasterEnabled(std::any_of(
            pics.begin(), pics.end(), [](std::int64_t p) { return game.passes < p && game.passes + 3 >= p; }));
    const double started = emscripten_get_now();
    tb::runPass();
    if (game.passMs.size() >= 1 << 16) game.passMs.erase(game.passMs.begin(), game.passMs.begin() + (1 << 15));
    game.passMs.push_back(float(emscripten_get_now() - started));
    ++game.passes;
    if (wanted)
        game.pictureDigests +=
            "frame " + std::to_string(game.passes) + " " + pictureDigest(softglide::frontBuffer()) + "\n";
    if (game.dumpEvery > 0 && game.passes % game.dumpEvery == 0) dumpCheckpoint();
    if (tb::world.quitRequested || game.passes == game.frames) {
        game.running = false;
        if (game.lastDumped != game.passes) dumpCheckpoint();
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
    constexpr double kPeriodMs = 1000.0 / 60, kBehindMs = 2 * kPeriodMs, kBudgetMs = 30;
    if (game.fast) {
        const double began = emscripten_get_now();
        while (game.running && emscripten_get_now() - began < kBudgetMs) runOnePass();
        present();
        return true;
    }
    if (game.passes == 0) game.due = now;
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
    if (*replayText && !platform::parseReplay(replayText, replay, reply)) {
        reply = "replay line " + reply;
        return reply.c_str();
    }
    if (game.running || game.passes > 0) tb::shutdownDisplay();
    game.replay.reset();
    platform::Keyboard* source = &game.keys;
    if (*replayText) source = &game.replay.emplace(std::move(replay));
    game.recorder.emplace(*source);
    platform::setKeyboard(&*game.recorder);
    platform::setSound(&game.sound);
    game.keys.releaseAll();
    game.passes = 0;
    game.lastDumped = -1;
    game.frames = std::int64_t(frames);
    game.dumpEvery = std::int64_t(dumpEvery);
    game.fast = fast != 0;
    game.dumps.clear();
    game.pictures.clear();
    game.pictureDigests.clear();
    for (const char* p = pictures; *p;) {
        char* end;
        game.pictures.push_back(std::strtoll(p, &end, 10));
        p = *end ? end + 1 : end;
    }
    softglide::setRasterEnabled(true);
    game.passMs.clear();
    game.restarts = 0;
    tb::world = tb::WorldState{};
    tb::initGame();
    game.running = game.frames != 0;
    return reply.c_str();
}

// The world now, as the same JSON line as the headless --dump-state.
EMSCRIPTEN_KEEPALIVE const char* tb_dump_state() { return (reply = tb::formatStateDump(game.passes)).c_str(); }

// The checkpoint dumps of this game so far, and the digests of the pictures asked for.
EMSCRIPTEN_KEEPALIVE const char* tb_dumps() { return game.dumps.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* tb_pictures() { return game.pictureDigests.c_str(); }

// The keys of this game so far as a replay file, with the pass count to play it to.
EMSCRIPTEN_KEEPALIVE const char* tb_recording() {
    reply = platform::formatReplay(game.recorder->recorded());
    reply.insert(reply.find('\n') + 1, "# recorded in a web page: " + std::to_string(game.passes) +
                                           " passes (play back with --frames " + std::to_string(game.passes) + ")\n");
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
    reply = "{\"passes\":" + std::to_string(game.passes) + ",\"medianMs\":" + std::to_string(median) +
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
