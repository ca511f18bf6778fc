// Writing an image as a 24-bit PNG file with libpng.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

// Writes width x height pixels (rows from the top, red, green, blue per pixel) to a
// PNG file, through plat::AtomicFile: a failure leaves the file that was there. On
// failure returns false with a reason in error.
bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb,
              std::string& error);

}  // namespace cli
