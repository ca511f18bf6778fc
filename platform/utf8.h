// UTF-8 as the desktop files and the reports write it: one well-formed sequence at a
// time (no overlong forms, surrogates or values past U+10FFFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plat {

// The length of the UTF-8 sequence at text[i] (1 for ASCII), with its code point in
// code; 0 when the bytes there are no well-formed sequence.
size_t Utf8Sequence(std::string_view text, size_t i, uint32_t& code);

}  // namespace plat
