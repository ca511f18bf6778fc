// Writing an image as a PNG file with libpng: 8 bits per channel, red, green, blue and,
// where asked, an alpha channel.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels (rows from the top; per pixel red, green, blue and, when
// channels is 4, alpha) to a PNG file through plat::AtomicFile: a failure leaves the file
// that was there. On failure returns false with the reason in error.
bool QzWritePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                std::string& error);
