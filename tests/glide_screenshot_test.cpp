// Screenshots: a frame written as PNG reads back with the same RGB values,
// and a file that cannot be written gives a message naming it.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/screenshot.h"

namespace {

std::vector<std::uint8_t> readRgb(const std::string& path, int& w, int& h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    w = int(image.width);
    h = int(image.height);
    return rgb;
}

TEST(GlideScreenshot, WritesRgbAndDropsAlpha) {
    const int w = 640, h = 480;
    std::vector<std::uint32_t> frame(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            frame[std::size_t(y) * w + x] =
                0x80000000u | std::uint32_t(x & 255) << 16 | std::uint32_t(y & 255) << 8 | 0x5A;
    }
    const std::string path = (std::filesystem::temp_directory_path() / "glide_screenshot_test.png").string();
    std::string error;
    ASSERT_TRUE(platform::writePng(path, frame.data(), w, h, error)) << error;
    int rw = 0, rh = 0;
    const std::vector<std::uint8_t> rgb = readRgb(path, rw, rh);
    std::remove(path.c_str());
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    const int probes[][2] = {{0, 0}, {639, 0}, {300, 200}, {639, 479}};
    for (auto [x, y] : probes) {
        const std::uint8_t* p = &rgb[(std::size_t(y) * w + x) * 3];
        EXPECT_EQ(p[0], x & 255) << x << "," << y;
        EXPECT_EQ(p[1], y & 255) << x << "," << y;
        EXPECT_EQ(p[2], 0x5A) << x << "," << y;
    }
}

TEST(GlideScreenshot, ReportsFilesItCannotWrite) {
    const std::uint32_t frame[4] = {};
    struct Case {
        std::string path;
        int w, h;
    };
    const Case cases[] = {
        {"/nonexistent-directory/shot.png", 2, 2},
        {(std::filesystem::temp_directory_path() / "glide_empty.png").string(), 0, 2},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(platform::writePng(c.path, frame, c.w, c.h, error));
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
    }
}

}  // namespace
