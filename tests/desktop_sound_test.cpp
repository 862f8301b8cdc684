// The one-voice sound layer on SDL's dummy audio driver: replace-on-play, files
// read once and converted, silence (and one message) for what cannot be played.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/sound.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::sdl::DesktopSound;
using platform::sdl::SoundOptions;

using tbtest::s16Samples;
using tbtest::wav;

std::vector<std::int16_t> asS16(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::int16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

SoundOptions exactly(int channels) {
    SoundOptions options;
    options.frequency = 22050, options.format = AUDIO_S16LSB, options.channels = channels;
    options.allowDeviceChanges = false, options.startPaused = true;  // only the test mixes
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
        dir.write("bumm.wav", wav(22050, 1, 16, s16Samples(100, 1000)));
        dir.write("expl.wav", wav(22050, 1, 16, s16Samples(50, -2000)));
    }
    void TearDown() override {
        platform::setDataDirectory(previousDataDir);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // A device in exactly the files' format.
    static void openExact(DesktopSound& sound) {
        std::string error;
        ASSERT_TRUE(sound.open(exactly(1), error)) << error;
        ASSERT_EQ(std::pair(sound.deviceSpec().format, int(sound.deviceSpec().channels)),
                  std::pair(Uint16(AUDIO_S16LSB), 1));
    }
    static std::vector<std::int16_t> mix(DesktopSound& sound, int samples) {
        std::vector<std::uint8_t> out(std::size_t(samples) * 2, 0xAB);
        sound.mix(out.data(), int(out.size()));
        return asS16(out);
    }
};

TEST_F(DesktopSoundTest, ANewSoundReplacesThePlayingOne) {
    // Steps: play a file (or none), then mix that many samples, expecting runs of (count, level).
    struct Step {
        const char* play;
        int mix;
        std::vector<std::pair<int, std::int16_t>> expect;
    };
    // clang-format off
    const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
        {"a sound plays to its end, then silence", {{"bumm.wav", 130, {{100, 1000}, {30, 0}}}}},
        {"a sound continues across buffers", {{"bumm.wav", 60, {{60, 1000}}}, {"", 60, {{40, 1000}, {20, 0}}}}},
        {"a second sound cuts the first off and starts from its beginning",
         {{"bumm.wav", 30, {{30, 1000}}}, {"expl.wav", 70, {{50, -2000}, {20, 0}}}}},
        {"the same sound again restarts it", {{"bumm.wav", 80, {{80, 1000}}}, {"bumm.wav", 110, {{100, 1000}, {10, 0}}}}},
        {"sounds in a row: only the last is heard",
         {{"expl.wav", 0, {}}, {"bumm.wav", 0, {}}, {"expl.wav", 60, {{50, -2000}, {10, 0}}}}},
        {"a missing file stops what plays and plays nothing", {{"bumm.wav", 10, {{10, 1000}}}, {"missing.wav", 20, {{20, 0}}}}},
        {"nothing played: silence", {{"", 16, {{16, 0}}}}}};
    // clang-format on
    for (const auto& [what, steps] : cases) {
        DesktopSound sound;
        openExact(sound);
        ::testing::internal::CaptureStderr();
        for (const Step& step : steps) {
            if (*step.play) sound.play(step.play);
            std::vector<std::int16_t> expected;
            for (auto [count, level] : step.expect) expected.insert(expected.end(), std::size_t(count), level);
            EXPECT_EQ(mix(sound, step.mix), expected) << what;
        }
        ::testing::internal::GetCapturedStderr();
    }
}

TEST_F(DesktopSoundTest, TheVolumeScalesTheSamples) {
    DesktopSound sound;
    openExact(sound);
    for (const auto& [volume, level] : {std::pair{100, 1000}, {50, 500}, {0, 0}}) {
        sound.setVolume(volume);
        sound.play("bumm.wav");
        for (std::int16_t sample : mix(sound, 4)) EXPECT_NEAR(sample, level, 8) << "volume " << volume;
    }
}

TEST_F(DesktopSoundTest, AMissingOrBrokenFileIsSilenceAndOneMessage) {
    dir.write("broken.wav", "RIFF not really a wave");
    // A well-formed header whose data chunk claims 2 GB: refused before anything is allocated.
    std::string lying = wav(22050, 1, 16, std::string(4, '\0'));
    lying.replace(40, 4, "\xff\xff\xff\x7f");
    dir.write("lying.wav", lying);
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
        EXPECT_TRUE(std::string(name) != "lying.wav" || messages.find("claims") != std::string::npos) << messages;
        EXPECT_EQ(mix(sound, 8), std::vector<std::int16_t>(8, 0)) << name;
    }
}

TEST_F(DesktopSoundTest, FilesAreReadOnceAndConvertedToTheDeviceFormat) {
    {
        DesktopSound kept;
        openExact(kept);
        kept.preload("bumm.wav");
        fs::remove(dir / "bumm.wav");  // removing the file afterwards does not change what is heard
        kept.play("bumm.wav");
        EXPECT_EQ(mix(kept, 100), std::vector<std::int16_t>(100, 1000));
    }

    // 8-bit unsigned mono at 11025 Hz into 16-bit stereo at 22050 Hz: twice the frames,
    // two channels, and the level (192 - 128) * 256 in the steady middle.
    dir.write("low.wav", wav(11025, 1, 8, std::string(400, char(192))));
    DesktopSound sound;
    std::string error;
    ASSERT_TRUE(sound.open(exactly(2), error)) << error;
    const std::vector<std::int16_t> samples = asS16(sound.samples("low.wav"));
    ASSERT_NEAR(double(samples.size()), 400.0 * 2 * 2, 16.0);
    for (std::size_t i = samples.size() / 4; i < samples.size() * 3 / 4; ++i)
        ASSERT_NEAR(samples[i], 64 * 256, 256) << "sample " << i;

    // Six channels whose block size says two, so that the data ends in a part
    // of a frame: only the 8 whole frames are heard, as 8 whole stereo frames.
    std::string ragged = wav(22050, 6, 16, s16Samples(50, 300));
    ragged.replace(32, 2, std::string("\x04\x00", 2));
    dir.write("ragged.wav", ragged);
    const std::vector<std::uint8_t>& whole = sound.samples("ragged.wav");
    EXPECT_EQ(whole.size(), 8u * 2 * 2);
    EXPECT_EQ(asS16(whole), std::vector<std::int16_t>(8 * 2, 300));
    ragged.replace(40, 4, std::string("\x02\x00\x00\x00", 4));  // one sample, not one frame
    dir.write("tiny.wav", ragged);
    EXPECT_TRUE(sound.samples("tiny.wav").empty());
}

TEST_F(DesktopSoundTest, WithoutADeviceEverythingIsSilentAndWithOneTheBufferIsSmall) {
    {
        DesktopSound silent;  // never opened
        EXPECT_FALSE(silent.hasDevice());
        silent.play("bumm.wav");
        EXPECT_EQ(mix(silent, 16), std::vector<std::int16_t>(16, 0));
        EXPECT_TRUE(silent.samples("bumm.wav").empty());
    }

    DesktopSound sound;  // the device's defaults: a short buffer keeps the bang close to the shot
    SoundOptions options;
    options.startPaused = true;
    std::string error;
    ASSERT_TRUE(sound.open(options, error)) << error;
    EXPECT_TRUE(sound.deviceSpec().samples >= 512 && sound.deviceSpec().samples <= 1024) << sound.deviceSpec().samples;
}

}  // namespace
