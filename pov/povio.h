// Text output of the scene writer: every "\n" of a template goes out as CR LF.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

// Writes text with every line feed written as carriage return and line feed.
void PovPut(std::ostream& out, std::string_view text);
// plat::Format, then PovPut.
void PovPrintf(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Text for the inside of a "//" comment line: POV-Ray ends such a comment at a carriage
// return or a line feed and would read the rest as scene code, so both become blanks.
std::string PovCommentText(std::string_view text);

// Set when a number that is not finite was to be written since the last reset, or a
// camera that POV-Ray refuses: POV-Ray reads no "inf" or "nan", so the export fails
// instead of writing a scene that does not parse. Reset at the start of each export.
extern bool PovOutOfRange;
// A number on its way into the scene, unchanged; notes when it is not finite.
double PovChecked(double value);
