// Fuzzes the desktop sound layer's WAV path: the input is written as
// "expl.wav", read and converted to an output format chosen by its first byte
// (the dummy audio driver stands in for a device), played and mixed out.
#include <SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/sdl/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        fuzz::dataDirectory();
        if (SDL_Init(SDL_INIT_AUDIO) != 0) std::abort();
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;

    static const SDL_AudioFormat kFormats[] = {AUDIO_S16SYS, AUDIO_U8, AUDIO_F32SYS, AUDIO_S32SYS};
    static const int kFrequencies[] = {44100, 48000, 22050, 8000};
    platform::sdl::SoundOptions options;
    options.format = kFormats[data[0] & 3];
    options.frequency = kFrequencies[(data[0] >> 2) & 3];
    options.channels = 1 + ((data[0] >> 4) & 1);
    options.allowDeviceChanges = false;
    // The dummy device's thread sleeps a buffer's length in whole milliseconds,
    // rounded down, between mixes and at close, which waits for it: four
    // samples round to nothing at every rate here.
    options.bufferSamples = 4;
    options.startPaused = true;  // the fuzzer mixes; the device thread stays idle
    fuzz::writeDataFile("expl.wav", data + 1, size - 1);

    platform::sdl::DesktopSound sound;
    std::string error;
    if (!sound.open(options, error)) std::abort();
    const std::vector<std::uint8_t>& samples = sound.samples("expl.wav");
    const int frame = SDL_AUDIO_BITSIZE(options.format) / 8 * options.channels;
    fuzz::require(samples.size() % std::size_t(frame) == 0);
    sound.play("expl.wav");
    std::vector<std::uint8_t> out(4096 + 3);
    for (int i = 0; i < 4; ++i) sound.mix(out.data(), int(out.size()));
    return 0;
}
