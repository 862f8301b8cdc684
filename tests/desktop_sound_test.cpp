// The one-voice sound layer on SDL's dummy audio driver: replace-on-play, files
// read once and converted, silence (and one message) for what cannot be played.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sdl/sound.h"
#include "platform/stream.h"

namespace {

namespace fs = std::filesystem;
using platform::sdl::DesktopSound;
using platform::sdl::SoundOptions;

void putLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// A PCM WAV file holding the given raw sample bytes.
void writeWav(const fs::path& path, int frequency, int channels, int bits, const std::vector<std::uint8_t>& data) {
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
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
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

class DesktopSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
        dir_ = fs::temp_directory_path() / ("tankbattle_sound_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        previousDataDir_ = platform::dataDirectory();
        platform::setDataDirectory(dir_.string());
        // Distinct constant levels tell the sounds apart in the output.
        writeWav(dir_ / "bumm.wav", 22050, 1, 16, s16Samples(100, 1000));
        writeWav(dir_ / "expl.wav", 22050, 1, 16, s16Samples(50, -2000));
    }
    void TearDown() override {
        platform::setDataDirectory(previousDataDir_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // A device in exactly the files' format, paused so that only the test mixes.
    void openExact(DesktopSound& sound) {
        SoundOptions options;
        options.frequency = 22050;
        options.format = AUDIO_S16LSB;
        options.channels = 1;
        options.allowDeviceChanges = false;
        options.startPaused = true;
        std::string error;
        ASSERT_TRUE(sound.open(options, error)) << error;
        ASSERT_EQ(sound.deviceSpec().format, AUDIO_S16LSB);
        ASSERT_EQ(sound.deviceSpec().channels, 1);
    }
    std::vector<std::int16_t> mix(DesktopSound& sound, int samples) {
        std::vector<std::uint8_t> out(std::size_t(samples) * 2, 0xAB);
        sound.mix(out.data(), int(out.size()));
        return asS16(out);
    }

    fs::path dir_;
    std::string previousDataDir_;
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
         {{"expl.wav", 0, {}}, {"expl.wav", 0, {}}, {"bumm.wav", 0, {}}, {"expl.wav", 60, runs({{50, -2000}, {10, 0}})}}},
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
    std::FILE* f = std::fopen((dir_ / "broken.wav").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("RIFF not really a wave", f);
    std::fclose(f);
    for (const char* name : {"missing.wav", "broken.wav"}) {
        DesktopSound sound;
        openExact(sound);
        ::testing::internal::CaptureStderr();
        sound.preload(name);
        sound.play(name);
        sound.play(name);
        std::string messages = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << name << ": " << messages;
        EXPECT_NE(messages.find(name), std::string::npos) << messages;
        EXPECT_TRUE(sound.samples(name).empty()) << name;
        EXPECT_EQ(mix(sound, 8), runs({{8, 0}})) << name;
    }
}

TEST_F(DesktopSoundTest, FilesAreReadOnceAndKept) {
    DesktopSound sound;
    openExact(sound);
    sound.preload("bumm.wav");
    // Changing or removing the file afterwards does not change what is heard.
    fs::remove(dir_ / "bumm.wav");
    sound.play("bumm.wav");
    EXPECT_EQ(mix(sound, 100), runs({{100, 1000}}));
    EXPECT_EQ(&sound.samples("bumm.wav"), &sound.samples("bumm.wav"));
}

TEST_F(DesktopSoundTest, FilesAreConvertedToTheDeviceFormat) {
    // 8-bit unsigned mono at 11025 Hz into 16-bit stereo at 22050 Hz: twice the frames,
    // two channels, and the level (192 - 128) * 256 in the steady middle.
    writeWav(dir_ / "low.wav", 11025, 1, 8, std::vector<std::uint8_t>(400, 192));
    DesktopSound sound;
    SoundOptions options;
    options.frequency = 22050;
    options.format = AUDIO_S16LSB;
    options.channels = 2;
    options.allowDeviceChanges = false;
    options.startPaused = true;
    std::string error;
    ASSERT_TRUE(sound.open(options, error)) << error;
    std::vector<std::int16_t> samples = asS16(sound.samples("low.wav"));
    ASSERT_NEAR(double(samples.size()), 400.0 * 2 * 2, 16.0);
    for (std::size_t i = samples.size() / 4; i < samples.size() * 3 / 4; ++i)
        ASSERT_NEAR(samples[i], 64 * 256, 256) << "sample " << i;
}

TEST_F(DesktopSoundTest, WithoutADeviceEverythingIsSilent) {
    DesktopSound sound;  // never opened
    EXPECT_FALSE(sound.hasDevice());
    sound.play("bumm.wav");
    std::vector<std::uint8_t> out(32, 0xAB);
    sound.mix(out.data(), int(out.size()));
    EXPECT_EQ(out, std::vector<std::uint8_t>(32, 0));
    EXPECT_TRUE(sound.samples("bumm.wav").empty());
}

TEST_F(DesktopSoundTest, TheDeviceBufferIsSmall) {
    DesktopSound sound;
    std::string error;
    SoundOptions options;
    options.startPaused = true;
    ASSERT_TRUE(sound.open(options, error)) << error;
    EXPECT_GE(sound.deviceSpec().samples, 512);
    EXPECT_LE(sound.deviceSpec().samples, 1024);
}

}  // namespace
