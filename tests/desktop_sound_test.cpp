// The one-voice sound layer on SDL's dummy audio driver: replace-on-play, files
// read once and converted, silence (and one message) for what cannot be played.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sdl/sound.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::sdl::DesktopSound;
using platform::sdl::SoundOptions;

void putLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// A PCM WAV file holding the given raw sample bytes.
void writeWav(const tbtest::ScratchDir& dir, const char* name, int frequency, int channels, int bits,
              const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF");
    putLE(out, std::uint32_t(36 + data.size()), 4);
    tag("WAVE");
    tag("fmt ");
    putLE(out, 16, 4);
    putLE(out, 1, 2);  // PCM
    putLE(out, std::uint32_t(channels), 2);
    putLE(out, std::uint32_t(frequency), 4);
    putLE(out, std::uint32_t(frequency * channels * bits / 8), 4);
    putLE(out, std::uint32_t(channels * bits / 8), 2);
    putLE(out, std::uint32_t(bits), 2);
    tag("data");
    putLE(out, std::uint32_t(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    dir.write(name, out);
}

std::vector<std::uint8_t> s16Samples(int count, std::int16_t value) {
    std::vector<std::uint8_t> data;
    for (int i = 0; i < count; ++i) putLE(data, std::uint16_t(value), 2);
    return data;
}

std::vector<std::int16_t> asS16(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::int16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

SoundOptions exactly(int channels) {
    SoundOptions options;
    options.frequency = 22050;
    options.format = AUDIO_S16LSB;
    options.channels = channels;
    options.allowDeviceChanges = false;
    options.startPaused = true;  // only the test mixes
    return options;
}

class DesktopSoundTest : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"sound"};
    std::string previousDataDir;

    void SetUp() override {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
        previousDataDir = platform::dataDirectory();
        platform::setDataDirectory(dir.path().string());
        // Distinct constant levels tell the sounds apart in the output.
        writeWav(dir, "bumm.wav", 22050, 1, 16, s16Samples(100, 1000));
        writeWav(dir, "expl.wav", 22050, 1, 16, s16Samples(50, -2000));
    }
    void TearDown() override {
        platform::setDataDirectory(previousDataDir);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // A device in exactly the files' format.
    static void openExact(DesktopSound& sound) {
        std::string error;
        ASSERT_TRUE(sound.open(exactly(1), error)) << error;
        ASSERT_EQ(sound.deviceSpec().format, AUDIO_S16LSB);
        ASSERT_EQ(sound.deviceSpec().channels, 1);
    }
    static std::vector<std::int16_t> mix(DesktopSound& sound, int samples) {
        std::vector<std::uint8_t> out(std::size_t(samples) * 2, 0xAB);
        sound.mix(out.data(), int(out.size()));
        return asS16(out);
    }
};

// Expected output as runs of (count, level).
std::vector<std::int16_t> runs(std::initializer_list<std::pair<int, std::int16_t>> parts) {
    std::vector<std::int16_t> out;
    for (auto [count, level] : parts) out.insert(out.end(), std::size_t(count), level);
    return out;
}

TEST_F(DesktopSoundTest, ANewSoundReplacesThePlayingOne) {
    struct Op {
        const char* play;  // nullptr: only mix
        int mixSamples;
        std::vector<std::int16_t> expected;
    };
    struct Case {
        const char* what;
        std::vector<Op> ops;
    };
    const std::vector<Case> cases = {
        {"a sound plays to its end, then silence", {{"bumm.wav", 130, runs({{100, 1000}, {30, 0}})}}},
        {"a sound continues across buffers",
         {{"bumm.wav", 60, runs({{60, 1000}})}, {nullptr, 60, runs({{40, 1000}, {20, 0}})}}},
        {"a second sound cuts the first off and starts from its beginning",
         {{"bumm.wav", 30, runs({{30, 1000}})}, {"expl.wav", 70, runs({{50, -2000}, {20, 0}})}}},
        {"the same sound again restarts it",
         {{"bumm.wav", 80, runs({{80, 1000}})}, {"bumm.wav", 110, runs({{100, 1000}, {10, 0}})}}},
        {"four sounds in a row: only the last is heard",
         {{"expl.wav", 0, {}},
          {"expl.wav", 0, {}},
          {"bumm.wav", 0, {}},
          {"expl.wav", 60, runs({{50, -2000}, {10, 0}})}}},
        {"a missing file stops what plays and plays nothing",
         {{"bumm.wav", 10, runs({{10, 1000}})}, {"missing.wav", 20, runs({{20, 0}})}}},
        {"nothing played: silence", {{nullptr, 16, runs({{16, 0}})}}},
    };
    for (const Case& c : cases) {
        DesktopSound sound;
        openExact(sound);
        ::testing::internal::CaptureStderr();
        for (const Op& op : c.ops) {
            if (op.play) sound.play(op.play);
            if (op.mixSamples) {
                EXPECT_EQ(mix(sound, op.mixSamples), op.expected) << c.what;
            }
        }
        ::testing::internal::GetCapturedStderr();
    }
}

TEST_F(DesktopSoundTest, AMissingOrBrokenFileIsSilenceAndOneMessage) {
    dir.write("broken.wav", "RIFF not really a wave");
    // A well-formed header whose data chunk claims 2 GB: refused before anything is allocated.
    const std::string fmt("\x01\x00\x01\x00\x22\x56\x00\x00\x44\xac\x00\x00\x02\x00\x10\x00", 16);
    dir.write("lying.wav", std::string("RIFF\xf0\xff\xff\xffWAVEfmt \x10\x00\x00\x00", 20) + fmt +
                               std::string("data\xff\xff\xff\x7f\x00\x00\x00\x00", 12));
    for (const char* name : {"missing.wav", "broken.wav", "lying.wav"}) {
        DesktopSound sound;
        openExact(sound);
        ::testing::internal::CaptureStderr();
        sound.preload(name);
        sound.play(name);
        sound.play(name);
        const std::string messages = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << name << ": " << messages;
        EXPECT_NE(messages.find(name), std::string::npos) << messages;
        if (std::string(name) == "lying.wav") {
            EXPECT_NE(messages.find("claims"), std::string::npos) << messages;
        }
        EXPECT_EQ(mix(sound, 8), runs({{8, 0}})) << name;
    }
}

TEST_F(DesktopSoundTest, FilesAreReadOnceAndConvertedToTheDeviceFormat) {
    {
        DesktopSound kept;
        openExact(kept);
        kept.preload("bumm.wav");
        fs::remove(dir / "bumm.wav");  // removing the file afterwards does not change what is heard
        kept.play("bumm.wav");
        EXPECT_EQ(mix(kept, 100), runs({{100, 1000}}));
    }

    // 8-bit unsigned mono at 11025 Hz into 16-bit stereo at 22050 Hz: twice the frames,
    // two channels, and the level (192 - 128) * 256 in the steady middle.
    writeWav(dir, "low.wav", 11025, 1, 8, std::vector<std::uint8_t>(400, 192));
    DesktopSound sound;
    std::string error;
    ASSERT_TRUE(sound.open(exactly(2), error)) << error;
    const std::vector<std::int16_t> samples = asS16(sound.samples("low.wav"));
    ASSERT_NEAR(double(samples.size()), 400.0 * 2 * 2, 16.0);
    for (std::size_t i = samples.size() / 4; i < samples.size() * 3 / 4; ++i)
        ASSERT_NEAR(samples[i], 64 * 256, 256) << "sample " << i;
}

TEST_F(DesktopSoundTest, WithoutADeviceEverythingIsSilentAndWithOneTheBufferIsSmall) {
    {
        DesktopSound silent;  // never opened
        EXPECT_FALSE(silent.hasDevice());
        silent.play("bumm.wav");
        std::vector<std::uint8_t> out(32, 0xAB);
        silent.mix(out.data(), int(out.size()));
        EXPECT_EQ(out, std::vector<std::uint8_t>(32, 0));
        EXPECT_TRUE(silent.samples("bumm.wav").empty());
    }

    DesktopSound sound;  // the device's defaults: a short buffer keeps the bang close to the shot
    SoundOptions options;
    options.startPaused = true;
    std::string error;
    ASSERT_TRUE(sound.open(options, error)) << error;
    EXPECT_GE(sound.deviceSpec().samples, 512);
    EXPECT_LE(sound.deviceSpec().samples, 1024);
}

}  // namespace
