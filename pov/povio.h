// Text output of the scene writer: every "\n" of a template goes out as CR LF.
#pragma once

#include <ostream>
#include <string_view>

// Writes text with every line feed written as carriage return and line feed.
void PovPut(std::ostream& out, std::string_view text);
// plat::Format, then PovPut.
void PovPrintf(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
