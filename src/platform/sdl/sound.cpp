// One-voice sound through an SDL audio device: replace-on-play, files read once.
#include "platform/sdl/sound.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/stream.h"

namespace platform::sdl {

// A WAV file is RIFF chunks; a chunk that claims more bytes than the file holds
// would have the loader allocate what the header says (up to 4 GB) for nothing.
bool chunksFitTheFile(const std::vector<std::uint8_t>& file, std::string& why) {
    auto le32 = [&](std::size_t at) {
        return std::uint32_t(file[at]) | std::uint32_t(file[at + 1]) << 8 | std::uint32_t(file[at + 2]) << 16 |
               std::uint32_t(file[at + 3]) << 24;
    };
    if (file.size() > std::size_t(INT32_MAX)) {
        why = "the file is too large for a sound";
        return false;
    }
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        why = "not a RIFF WAVE file";
        return false;
    }
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::uint32_t length = le32(at + 4);
        const std::size_t room = file.size() - at - 8;
        if (length > room) {
            why = "its \"" + std::string(reinterpret_cast<const char*>(file.data() + at), 4) + "\" chunk claims " +
                  std::to_string(length) + " bytes but only " + std::to_string(room) + " follow";
            return false;
        }
        at += 8 + std::size_t(length) + (length & 1u);
    }
    return true;
}

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
    int changes = options.allowDeviceChanges ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE |
                                                   SDL_AUDIO_ALLOW_CHANNELS_CHANGE
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
    if (length <= 0) return;  // nothing to fill (and `out` may then be null)
    const std::size_t wanted = std::size_t(length);
    std::size_t copied = 0;
    const int volume = volume_.load();
    if (current_) {
        copied = std::min(wanted, current_->size() - position_);
        if (volume >= 100) {
            std::memcpy(out, current_->data() + position_, copied);
        } else {
            // Mixed into silence at the lowered level: SDL scales and clips in the device's format.
            std::memset(out, spec_.silence, copied);
            SDL_MixAudioFormat(out, current_->data() + position_, spec_.format, Uint32(copied),
                               volume * SDL_MIX_MAXVOLUME / 100);
        }
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
    std::vector<std::uint8_t> file;
    std::string why;
    if (!readWholeFile(path, file, why) || !chunksFitTheFile(file, why)) {
        std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), why.c_str());
        return kept;
    }
    SDL_AudioSpec fileSpec;
    Uint8* data = nullptr;
    Uint32 size = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(file.data(), int(file.size())), 1, &fileSpec, &data, &size)) {
        std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), SDL_GetError());
        return kept;
    }
    SDL_AudioCVT cvt;
    int built = SDL_BuildAudioCVT(&cvt, fileSpec.format, fileSpec.channels, fileSpec.freq, spec_.format, spec_.channels,
                                  spec_.freq);
    if (built < 0) {
        std::fprintf(stderr, "tankbattle: sound \"%s\" stays silent: %s\n", path.c_str(), SDL_GetError());
        SDL_FreeWAV(data);
        return kept;
    }
    // A file whose data chunk ends in a part of a sample frame (or whose block
    // size disagrees with its channels) keeps only its whole frames: the
    // converter works a frame at a time and would otherwise hand back a
    // buffer that ends in a part of an output frame.
    const Uint32 fileFrame = Uint32(SDL_AUDIO_BITSIZE(fileSpec.format) / 8) * fileSpec.channels;
    if (fileFrame > 0) size -= size % fileFrame;
    if (size == 0) {  // not one whole frame: nothing to hear
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
