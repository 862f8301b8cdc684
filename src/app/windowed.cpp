// The game on the desktop: an SDL window (or full screen), the keyboard, sound,
// and 60 passes a second paced from the clock at every buffer swap.
#define SDL_MAIN_HANDLED
#include "app/windowed.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/online.h"
#include "app/session.h"
#include "platform/datadir.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/screenshot.h"
#include "platform/sdl/keyboard.h"
#include "platform/sdl/pacer.h"
#include "platform/sdl/pads.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/settings.h"
#include "platform/sdl/sound.h"
#include "platform/sound.h"
#include "sim/sim.h"

namespace tb {
namespace {

namespace sdl = platform::sdl;

std::unique_ptr<sdl::DesktopSound> openSound();

// Everything the buffer swap needs: the picture goes out, the clock is waited
// for, and the events that came in meanwhile are handed to the keyboard. Pausing
// and the volume live here, outside the game: a paused game simply has its next
// pass start later.
struct Desktop {
    sdl::Presenter presenter;
    sdl::DesktopKeyboard keyboard;
    std::unique_ptr<sdl::Pads> pads;  // none without SDL's game controller support
    sdl::FramePacer pacer;
    long long swaps = 0;
    sdl::FramePacer::Nanos waiting = 0, presenting = 0;  // totals, for the timing report
    sdl::FramePacer::Nanos pausedFor = 0;                // total, left out of the report's rate
    int screenshot = 0;                                  // the number of the last screenshot file
    bool pausedByPlayer = false, hidden = false;
    std::unique_ptr<sdl::DesktopSound> sound;  // none while muted from the start, or without a device
    int volume = 100;
    bool muted = false;
    sdl::FramePacer::Nanos volumeShownUntil = 0;
    Session* session = nullptr;  // where the sound goes
    Netplay* online = nullptr;   // online play, when it is
    bool figuresShown = false;   // F3: online play's figures in the title
    sdl::FramePacer::Nanos titleUpdated = 0, presented = 0;

    // Online, a pause on either side holds both games (hidden windows too).
    bool pausedHere() const { return pausedByPlayer || hidden; }
    bool paused() const { return pausedHere() || (session && session->peerPaused()); }
    std::string message;  // said over the picture (online: waiting, ended)
    std::string figures;  // F3: online play's figures, at the top left

    sdl::Overlay overlay() const {
        sdl::Overlay o;
        o.dimmed = paused();
        if (sdl::monotonicNow() < volumeShownUntil) o.volume = volume, o.muted = muted;
        o.message = message;
        if (o.message.empty() && online && session->peerPaused())
            o.message = "Paused by player " + std::to_string(3 - online->player());
        else if (o.message.empty() && online && pausedHere())
            o.message = "Paused: player " + std::to_string(3 - online->player()) + " waits for you";
        if (figuresShown) o.corner = figures;
        return o;
    }
};

// F12 keeps the picture on screen as the next free tankbattle-NNN.png in the current directory.
void saveScreenshot(Desktop& desktop) {
    const std::string path = platform::nextScreenshotPath(".", desktop.screenshot);
    std::string error;
    if (platform::writePng(path, softglide::frontBuffer(), softglide::frameWidth(), softglide::frameHeight(), error))
        std::fprintf(stderr, "tankbattle: screenshot written to %s\n", path.c_str() + 2);
    else
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
}

void setTitle(Desktop& desktop, const std::string& text) {
    SDL_SetWindowTitle(desktop.presenter.window(), ("tankbattle: " + text).c_str());
}

// Online: who plays whom, who paused, and with F3 the link's figures, once a second.
void updateOnlineTitle(Desktop& desktop, bool now = false) {
    if (!desktop.online) return;
    const sdl::FramePacer::Nanos t = sdl::monotonicNow();
    if (!now && t - desktop.titleUpdated < sdl::FramePacer::kSecond) return;
    desktop.titleUpdated = t;
    const Netplay& net = *desktop.online;
    std::string text = "online with " + net.peerName() + ", you are player " + std::to_string(net.player());
    if (desktop.session->peerPaused())
        text += "; paused by player " + std::to_string(3 - net.player());
    else if (desktop.pausedHere())
        text += "; paused";
    const Netplay::Stats s = net.stats();
    desktop.figures = "round trip " + std::to_string(s.roundTripMs) + " ms, " + std::to_string(s.rollbacks) +
                      " rollbacks, " + std::to_string(s.waits) + " waits";
    if (desktop.figuresShown) text += " | " + desktop.figures;
    setTitle(desktop, text);
}

// Volume steps of ten and the mute switch; the bar shows for a second.
void changeVolume(Desktop& desktop, int step, bool toggleMute) {
    desktop.volume = std::clamp(desktop.volume + step, 0, 100);
    if (toggleMute) desktop.muted = !desktop.muted;
    if (!desktop.muted && !desktop.sound) {
        desktop.sound = openSound();
        desktop.session->setSound(desktop.sound.get());
    }
    if (desktop.sound) desktop.sound->setVolume(desktop.muted ? 0 : desktop.volume);
    desktop.volumeShownUntil = sdl::monotonicNow() + sdl::FramePacer::kSecond;
}

void pumpEvents(Desktop& desktop) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        sdl::EventAction action = desktop.keyboard.handleEvent(event);
        if (action == sdl::EventAction::None && desktop.pads)
            action = desktop.pads->handleEvent(event, desktop.keyboard);
        switch (action) {
            case sdl::EventAction::ToggleFullscreen: desktop.presenter.toggleFullscreen(); break;
            case sdl::EventAction::Screenshot: saveScreenshot(desktop); break;
            case sdl::EventAction::Pause: desktop.pausedByPlayer = !desktop.pausedByPlayer; break;
            case sdl::EventAction::Hidden: desktop.hidden = true; break;
            case sdl::EventAction::Shown: desktop.hidden = false; break;
            case sdl::EventAction::Quit: desktop.pausedByPlayer = desktop.hidden = false; break;
            case sdl::EventAction::OnlineFigures:
                desktop.figuresShown = !desktop.figuresShown;
                updateOnlineTitle(desktop, true);
                break;
            case sdl::EventAction::VolumeDown: changeVolume(desktop, -10, false); break;
            case sdl::EventAction::VolumeUp: changeVolume(desktop, 10, false); break;
            case sdl::EventAction::Mute: changeVolume(desktop, 0, true); break;
            case sdl::EventAction::None: break;
        }
        if (desktop.session && (action == sdl::EventAction::Pause || action == sdl::EventAction::Hidden ||
                                action == sdl::EventAction::Shown || action == sdl::EventAction::Quit)) {
            desktop.session->setPaused(desktop.pausedHere());
            updateOnlineTitle(desktop, true);
        }
        desktop.keyboard.setPaused(desktop.paused());
    }
}

// While paused the last frame stays on screen, dimmed, and no pass runs: the
// game's passes and key presses are the same as without the pause.
void waitWhilePaused(Desktop& desktop, const std::uint32_t* frame) {
    if (!desktop.paused()) return;
    const sdl::FramePacer::Nanos began = sdl::monotonicNow();
    while (desktop.paused()) {
        desktop.presenter.present(frame, desktop.overlay());
        SDL_WaitEventTimeout(nullptr, 50);
        pumpEvents(desktop);
        desktop.session->keepAlive();
        updateOnlineTitle(desktop);
    }
    const sdl::FramePacer::Nanos now = sdl::monotonicNow();
    desktop.pausedFor += now - began;
    desktop.pacer.start(now);
    desktop.keyboard.setPaused(false);
    updateOnlineTitle(desktop, true);
}

// Online, while the game waits for the other player: events still count, and
// the last frame is shown again now and then (dimmed while the other side pauses).
void whileWaiting(Desktop& desktop) {
    pumpEvents(desktop);
    const sdl::FramePacer::Nanos now = sdl::monotonicNow();
    if (now - desktop.presented >= sdl::FramePacer::kSecond / 30) {
        desktop.presenter.present(softglide::frontBuffer(), desktop.overlay());
        desktop.presented = now;
    }
    updateOnlineTitle(desktop);
}

void onSwap(const std::uint32_t* frame, void* user) {
    Desktop& desktop = *static_cast<Desktop*>(user);
    // Wait first, then show: frames then appear at even 1/60 s steps however long
    // each pass took to compute.
    const sdl::FramePacer::Nanos drawn = sdl::monotonicNow();
    // Online, the side that runs ahead of the other slows down a little (an
    // eighth of a pass each pass) until the two are in step.
    if (desktop.online && desktop.session->passesAhead() > 1.0) desktop.pacer.postpone(sdl::FramePacer::kSecond / 480);
    sdl::waitUntil(desktop.pacer.nextDeadline(drawn));
    const sdl::FramePacer::Nanos due = sdl::monotonicNow();
    desktop.presenter.present(frame, desktop.overlay());
    desktop.waiting += due - drawn;
    desktop.presenting += sdl::monotonicNow() - due;
    desktop.presented = due;
    ++desktop.swaps;
    pumpEvents(desktop);
    updateOnlineTitle(desktop);
    waitWhilePaused(desktop, frame);
}

// Runs `step` with the process's stderr pointed at /dev/null: the audio and window
// system libraries SDL tries print their own complaints there, and the player
// should see only our one line about what is missing.
template <class Step>
auto quietly(Step step) {
    std::fflush(stderr);
    int saved = ::dup(STDERR_FILENO);
    int devNull = ::open("/dev/null", O_WRONLY);
    if (saved >= 0 && devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    if (devNull >= 0) ::close(devNull);
    auto result = step();
    std::fflush(stderr);
    if (saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
    }
    return result;
}

// SDL falls back to drivers that show nothing when there is no display; those
// count as a display only when asked for by name (as the tests do).
bool showsNothing(const char* driver) {
    if (!driver) return true;
    std::string name = driver;
    if (name != "offscreen" && name != "dummy") return false;
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return !(requested && name == requested);
}

// Opens sound; without it the game plays silently.
std::unique_ptr<sdl::DesktopSound> openSound() {
    if (quietly([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) != 0) {
        std::fprintf(stderr, "tankbattle: no sound: %s\n", SDL_GetError());
        return nullptr;
    }
    auto sound = std::make_unique<sdl::DesktopSound>();
    std::string error;
    if (!quietly([&] { return sound->open(sdl::SoundOptions{}, error); })) {
        std::fprintf(stderr, "tankbattle: no sound: %s\n", error.c_str());
        return nullptr;
    }
    sound->preload("bumm.wav");
    sound->preload("expl.wav");
    return sound;
}

// Why no window opens: the display the environment names cannot be opened, or
// none is named at all.
std::string noDisplayMessage(const std::string& reason) {
    std::vector<std::string> named;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = SDL_getenv(variable); value && *value)
            named.push_back(std::string(1, '"').append(value).append("\" (").append(variable).append(")"));
    const std::string instead = "run it without a window: tankbattle --headless --frames N";
    if (named.empty())
        return "no display available (" + reason +
               "). Start the game from a desktop session (DISPLAY or WAYLAND_DISPLAY set), or " + instead;
    const std::string which = named.size() == 1 ? "the display " + named[0] + " cannot"
                                                : "neither the display " + named[0] + " nor " + named[1] + " can";
    return "no display available: " + which +
           " be opened. Check that it is running and that this user may use it, or " + instead;
}

// The settings file's, with the command line's over them.
sdl::Settings settingsInEffect(const Options& options, const sdl::Settings& fromFile) {
    sdl::Settings s = fromFile;
    if (options.window) s.fullscreen = false;
    if (options.fullscreen) s.fullscreen = true;
    if (options.integerScale) s.integerScale = true;
    if (options.mute) s.mute = true;
    if (options.volume >= 0) s.volume = int(options.volume);
    if (options.scale > 0) s.scale = int(options.scale);
    return s;
}

void saveSettings(const std::string& path, const sdl::Settings& settings) {
    std::string error;
    if (path.empty())
        std::fprintf(stderr,
                     "tankbattle: no place for the settings: set HOME or XDG_CONFIG_HOME, or give --config FILE\n");
    else if (sdl::saveSettings(path, settings, error))
        std::fprintf(stderr, "tankbattle: settings written to %s\n", path.c_str());
    else
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
}

}  // namespace

int runWindowed(const Options& options, const char* /*argv0*/) {
    // A bad replay or an unwritable recording file is known before any window opens.
    Session session;
    if (!options.replayFile.empty()) {
        platform::Replay replay;
        std::string error, warning;
        if (!platform::loadReplay(options.replayFile, replay, error, &warning)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            return 2;
        }
        if (!warning.empty()) std::fprintf(stderr, "tankbattle: %s\n", warning.c_str());
        session.playReplay(std::move(replay));
    }
    if (std::string error; !options.recordFile.empty() && !session.recordTo(options.recordFile, error)) {
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
        return 1;
    }
    // So is a port that cannot be had, or an address that cannot be found.
    std::unique_ptr<Netplay> online;
    if (std::string error; options.hostPort > 0 || !options.joinAddress.empty()) {
        online = openOnline(options, error);
        if (!online) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            return 1;
        }
    }

    // Settings never stop the game: a bad line is reported and skipped.
    const std::string settingsPath = options.configFile.empty() ? sdl::defaultSettingsPath() : options.configFile;
    sdl::Settings fromFile;
    std::vector<std::string> problems;
    // A file named on the command line that is not there is worth a word, unless it is to be written.
    sdl::loadSettings(settingsPath, fromFile, problems, !options.configFile.empty() && !options.saveSettings);
    for (const std::string& problem : problems) std::fprintf(stderr, "tankbattle: %s\n", problem.c_str());
    const sdl::Settings settings = settingsInEffect(options, fromFile);
    if (options.saveSettings) saveSettings(settingsPath, settings);

    SDL_SetMainReady();
    if (quietly([] { return SDL_Init(SDL_INIT_VIDEO); }) != 0 || showsNothing(SDL_GetCurrentVideoDriver())) {
        std::string reason = SDL_WasInit(SDL_INIT_VIDEO) ? "no window system found" : SDL_GetError();
        SDL_Quit();
        std::fprintf(stderr, "tankbattle: %s\n", noDisplayMessage(reason).c_str());
        return 1;
    }
    auto desktop = std::make_unique<Desktop>();
    desktop->session = &session;
    std::string error;
    softglide::setScale(settings.scale);  // before the presenter sizes its picture
    softglide::setThreads(int(options.threads));
    sdl::PresenterOptions presenterOptions;
    presenterOptions.fullscreen = settings.fullscreen;
    presenterOptions.integerScale = settings.integerScale;
    if (!desktop->presenter.open(presenterOptions, error)) {
        std::fprintf(stderr, "tankbattle: no display available: %s\n", error.c_str());
        desktop.reset();
        SDL_Quit();
        return 1;
    }
    desktop->muted = settings.mute;
    desktop->volume = settings.volume;
    if (!desktop->muted) desktop->sound = openSound();
    // Pads plugged in already are announced as if plugged in now.
    if (quietly([] { return SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER); }) == 0)
        desktop->pads = std::make_unique<sdl::Pads>(settings);
    sdl::KeyBindings bindings;
    for (const auto& [key, action] : settings.keys) bindings.bind(key, action);
    desktop->keyboard.setBindings(bindings);
    if (desktop->sound) desktop->sound->setVolume(desktop->volume);

    // The keys come from the player, or from a replay that the player can still leave with Escape.
    session.playLive(desktop->keyboard);
    session.setSound(desktop->sound.get());
    session.presentWith(&onSwap, desktop.get());
    session.setPixels(!options.noPixels);
    if (options.frames >= 0) session.stopAfter(options.frames);

    if (online) {
        desktop->online = online.get();
        const std::string waiting = onlineWaitingText(options, true);
        std::fprintf(stderr, "tankbattle: %s\n", waiting.c_str());
        setTitle(*desktop, waiting);
        desktop->message = options.hostPort > 0 ? "Waiting for player 2 on UDP port " +
                                                      std::to_string(options.hostPort) + "\n\nEscape gives up"
                                                : "Connecting to " + options.joinAddress + "\n\nEscape gives up";
        auto keepWaiting = [&] {
            pumpEvents(*desktop);
            desktop->presenter.present(softglide::frontBuffer(), desktop->overlay());
            return !desktop->keyboard.pressedSinceLastQuery(platform::vk::Escape);
        };
        if (!connectOnline(*online, keepWaiting, error)) {
            std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
            desktop.reset();
            SDL_Quit();
            return 1;
        }
        desktop->message.clear();
        session.playOnline(*online);
        session.whileWaiting([&desktop] { whileWaiting(*desktop); });
    }

    session.start();
    platform::warnDataFiles();
    pumpEvents(*desktop);  // what happened during start-up reaches the first pass
    updateOnlineTitle(*desktop, true);

    const sdl::FramePacer::Nanos started = sdl::monotonicNow();
    desktop->pacer.start(started);
    session.run();
    const sdl::FramePacer::Nanos finished = sdl::monotonicNow();
    int status = 0;
    // As headless: --screenshot also keeps the last frame shown.
    if (!options.screenshotFile.empty() &&
        !platform::writePng(options.screenshotFile, softglide::frontBuffer(), softglide::frameWidth(),
                            softglide::frameHeight(), error)) {
        std::fprintf(stderr, "tankbattle: %s\n", error.c_str());
        status = 1;
    }
    std::string ending;
    if (!session.finish(error)) {
        ending = error;
        status = 1;
    } else {
        ending = session.ending();
    }
    if (!ending.empty()) {
        // Said on the terminal and, for a few seconds or until a key, in the window.
        std::fprintf(stderr, "tankbattle: %s\n", ending.c_str());
        setTitle(*desktop, ending);
        desktop->message = ending;
        desktop->message[0] = char(std::toupper(static_cast<unsigned char>(desktop->message[0])));
        desktop->pausedByPlayer = true;
        const sdl::FramePacer::Nanos until = sdl::monotonicNow() + 3 * sdl::FramePacer::kSecond;
        SDL_Event event;
        while (sdl::monotonicNow() < until) {
            desktop->presenter.present(softglide::frontBuffer(), desktop->overlay());
            if (SDL_WaitEventTimeout(&event, 50) && (event.type == SDL_KEYDOWN || event.type == SDL_QUIT)) break;
        }
    }
    if (online && timingReportWanted())
        std::fprintf(stderr, "tankbattle: %s\n", onlineReport(*online, session.passes()).c_str());

    if (timingReportWanted()) {
        // The rate over the time the game ran: paused and minimised time is left out.
        const long long passes = session.passes();
        const double seconds = double(finished - started - desktop->pausedFor) / 1e9;
        const double msPerSwap = desktop->swaps > 0 ? 1e-6 / double(desktop->swaps) : 0.0;
        std::fprintf(stderr,
                     "tankbattle: %lld passes in %.4f s of play (%.3f passes/s; %.2f s paused; %lld schedule "
                     "restarts; per pass %.2f ms waiting, %.2f ms presenting; renderer %s)\n",
                     passes, seconds, seconds > 0 ? double(passes) / seconds : 0.0, double(desktop->pausedFor) / 1e9,
                     static_cast<long long>(desktop->pacer.restarts()), double(desktop->waiting) * msPerSwap,
                     double(desktop->presenting) * msPerSwap, desktop->presenter.rendererName().c_str());
    }

    // What the player changed in the game is kept in the settings file, over the
    // file as it is now (it may have been edited meanwhile); what the command line
    // set and the game left as it was is not.
    const bool volume = desktop->volume != settings.volume, mute = desktop->muted != settings.mute,
               fullscreen = desktop->presenter.fullscreen() != settings.fullscreen;
    if (volume || mute || fullscreen) {
        sdl::Settings kept;
        std::vector<std::string> saidAtStart;
        sdl::loadSettings(settingsPath, kept, saidAtStart);
        if (volume) kept.volume = desktop->volume;
        if (mute) kept.mute = desktop->muted;
        if (fullscreen) kept.fullscreen = desktop->presenter.fullscreen();
        saveSettings(settingsPath, kept);
    }
    desktop.reset();
    SDL_Quit();
    return status;
}

}  // namespace tb
