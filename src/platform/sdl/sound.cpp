// One-voice sound through an SDL audio device: replace-on-play, files read once.
#include "platform/sdl/sound.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/stream.h"

namespace platform::sdl {

DesktopSound::~DesktopSound() {
    if (device_) SDL_CloseAudioDevice(device_);
}

bool DesktopSound::open(const SoundOptions& options, std::string& error) {
    SDL_AudioSpec want{};
    want.freq = options.frequency;
    want.format = options.format;
    want.channels = Uint8(options.channels);
    want.samples = Uint16(options.bufferSamples);
    want.callback = &DesktopSound::callback;
    want.userdata = this;
    int changes = options.allowDeviceChanges
                      ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE
                      : 0;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &spec_, changes);
    if (!device_) {
        error = SDL_GetError();
        return false;
    }
    if (!options.startPaused) SDL_PauseAudioDevice(device_, 0);
    return true;
}

void DesktopSound::callback(void* user, Uint8* stream, int length) {
    static_cast<DesktopSound*>(user)->mix(stream, length);
}

void DesktopSound::mix(std::uint8_t* out, int length) {
    std::size_t wanted = length > 0 ? std::size_t(length) : 0;
    std::size_t copied = 0;
    if (current_) {
        copied = std::min(wanted, current_->size() - position_);
        std::memcpy(out, current_->data() + position_, copied);
        position_ += copied;
        if (position_ >= current_->size()) current_ = nullptr;
    }
    std::memset(out + copied, spec_.silence, wanted - copied);
}

const std::vector<std::uint8_t>& DesktopSound::load(const std::string& fileName) {
    if (auto found = cache_.find(fileName); found != cache_.end()) return found->second;
    std::vector<std::uint8_t>& kept = cache_[fileName];  // an empty entry also remembers a failure
    if (!device_) return kept;

    std::string path = dataPath(fileName.c_str());
    SDL_AudioSpec fileSpec;
    Uint8* data = nullptr;
    Uint32 size = 0;
    if (!SDL_LoadWAV(path.c_str(), &fileSpec, &data, &size)) {
        std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), SDL_GetError());
        return kept;
    }
    SDL_AudioCVT cvt;
    int built = SDL_BuildAudioCVT(&cvt, fileSpec.format, fileSpec.channels, fileSpec.freq, spec_.format,
                                  spec_.channels, spec_.freq);
    if (built < 0) {
        std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), SDL_GetError());
        SDL_FreeWAV(data);
        return kept;
    }
    std::vector<std::uint8_t> buffer(std::size_t(size) * std::size_t(cvt.len_mult > 0 ? cvt.len_mult : 1));
    std::memcpy(buffer.data(), data, size);
    SDL_FreeWAV(data);
    if (built > 0) {
        cvt.buf = buffer.data();
        cvt.len = int(size);
        if (SDL_ConvertAudio(&cvt) != 0) {
            std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), SDL_GetError());
            return kept;
        }
        buffer.resize(std::size_t(cvt.len_cvt));
    } else {
        buffer.resize(size);
    }
    kept = std::move(buffer);
    return kept;
}

void DesktopSound::preload(const char* fileName) { load(fileName); }

const std::vector<std::uint8_t>& DesktopSound::samples(const char* fileName) { return load(fileName); }

void DesktopSound::play(const char* fileName) {
    if (!device_) return;
    const std::vector<std::uint8_t>& sound = load(fileName);
    SDL_LockAudioDevice(device_);
    // Replacing: the new sound starts at once, whatever was still playing stops.
    current_ = sound.empty() ? nullptr : &sound;
    position_ = 0;
    SDL_UnlockAudioDevice(device_);
}

}  // namespace platform::sdl
