// PNG screenshots through libpng.
#include "screenshot.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace platform {
namespace {

struct WriteContext {
    std::string message;
};

void onError(png_structp png, png_const_charp msg) {
    auto* ctx = static_cast<WriteContext*>(png_get_error_ptr(png));
    if (ctx) ctx->message = msg;
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

// The libpng part, kept free of C++ objects with destructors because libpng
// reports errors by longjmp.
bool encode(std::FILE* file, const std::uint8_t* rgb, int w, int h, WriteContext* ctx) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, ctx, onError, onWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, rgb + std::size_t(y) * std::size_t(w) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const std::uint32_t* pixels, int w, int h, std::string& error) {
    if (!pixels || w <= 0 || h <= 0 || w > 65535 || h > 65535) {
        error = path + ": cannot write a screenshot of an empty or oversized frame";
        return false;
    }
    std::vector<std::uint8_t> rgb(std::size_t(w) * std::size_t(h) * 3);
    for (std::size_t i = 0, n = std::size_t(w) * std::size_t(h); i < n; ++i) {
        rgb[i * 3 + 0] = std::uint8_t(pixels[i] >> 16);
        rgb[i * 3 + 1] = std::uint8_t(pixels[i] >> 8);
        rgb[i * 3 + 2] = std::uint8_t(pixels[i]);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": cannot create the screenshot file: " + std::strerror(errno);
        return false;
    }
    WriteContext ctx;
    const bool encoded = encode(file, rgb.data(), w, h, &ctx);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        error = path + ": writing the PNG failed" + (ctx.message.empty() ? std::string() : ": " + ctx.message) +
                " (is the disk full or the directory read-only?)";
        std::remove(path.c_str());
        return false;
    }
    return true;
}

std::string nextScreenshotPath(const std::string& directory, int& last) {
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "tankbattle-%03d.png", ++last);
        std::string path = directory + "/" + name;
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return path;
        if (last >= 999999) return path;  // give up counting; the last name is reused
    }
}

}  // namespace platform
