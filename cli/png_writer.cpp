#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "atomicfile.h"

namespace cli {

namespace {

struct ErrorText {
    std::string text;
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    if (error) error->text = message ? message : "libpng error";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything that libpng's longjmp may skip lives outside this function's frame.
bool WriteRows(std::FILE* file, int width, int height, const uint8_t* rgb, ErrorText& error) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (!png) {
        error.text = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error.text = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb + stride * static_cast<size_t>(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb,
              std::string& error) {
    if (width <= 0 || height <= 0 || !rgb) {
        error = "empty image";
        return false;
    }
    // Written beside the old file and renamed over it when complete: a failure leaves
    // what was there (a device or a pipe is written in place).
    plat::AtomicFile file;
    std::string reason;
    if (!file.Open(path, reason)) {
        error = std::strerror(file.ErrorNumber());
        return false;
    }
    ErrorText text;
    bool ok = WriteRows(file.File(), width, height, rgb, text);
    if (ok && !file.Commit(reason)) {
        ok = false;
        text.text = std::strerror(file.ErrorNumber());
    }
    if (!ok) error = text.text;
    return ok;
}

}  // namespace cli
