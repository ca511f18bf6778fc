// printf-style text formatting as every fixed text of the program needs it: %e and %g
// write the exponent with its sign and three digits ("1e-005", "1.5e+010").
#pragma once

#include <cstdarg>
#include <string>

namespace plat {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormat(const char* format, va_list args);

}  // namespace plat
