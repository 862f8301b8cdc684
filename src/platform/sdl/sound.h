// Sound on the desktop: one voice, so a new sound replaces the one still playing.
// WAV files are read once, converted to the output device's format and kept.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sound.h"

namespace platform::sdl {

struct SoundOptions {
    int frequency = 44100;
    SDL_AudioFormat format = AUDIO_S16SYS;
    int channels = 2;
    int bufferSamples = 512;  // small, so that a sound starts within the frame that asked for it
    bool allowDeviceChanges = true;
    bool startPaused = false;  // the device stays silent until unpaused (mix can still be called)
};

// False, with the reason, when the file is not RIFF WAVE or a chunk claims more bytes than follow it.
bool chunksFitTheFile(const std::vector<std::uint8_t>& file, std::string& why);

class DesktopSound : public platform::Sound {
public:
    DesktopSound() = default;
    ~DesktopSound() override;
    DesktopSound(const DesktopSound&) = delete;
    DesktopSound& operator=(const DesktopSound&) = delete;

    // Opens the audio device (the audio subsystem must be initialised). Without a
    // device every sound is silence; the reason is in `error`.
    bool open(const SoundOptions& options, std::string& error);
    // Reads and converts a file now (from the data directory), so that playing it later costs nothing.
    void preload(const char* fileName);
    // Starts the named sound from its beginning, stopping whatever plays.
    void play(const char* fileName) override;
    // 0 (silent) to 100 (the samples as they are); takes effect at once.
    void setVolume(int percent) { volume_.store(std::clamp(percent, 0, 100)); }

    // Fills an output buffer: the rest of the current sound, then silence. The device's
    // callback runs this; tests call it directly.
    void mix(std::uint8_t* out, int length);
    const SDL_AudioSpec& deviceSpec() const { return spec_; }
    bool hasDevice() const { return device_ != 0; }
    // The converted samples of a loaded sound (empty for a missing or unreadable file).
    const std::vector<std::uint8_t>& samples(const char* fileName);

private:
    static void callback(void* user, Uint8* stream, int length);
    const std::vector<std::uint8_t>& load(const std::string& fileName);

    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec spec_{};
    std::map<std::string, std::vector<std::uint8_t>> cache_;
    // Read by the device's thread under the device lock.
    const std::vector<std::uint8_t>* current_ = nullptr;
    std::size_t position_ = 0;
    std::atomic<int> volume_{100};
};

}  // namespace platform::sdl
