// Texts and numbers of the main frame that do not need a window: the goodbye text, the
// caption with the model's title and author, the About box's build line and the zoom
// steps of the mouse wheel.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// "Thank you for using Zarvel (m:ss)", or "(h:mm:ss)" from one hour on.
std::string QzGoodbyeText(uint32_t seconds);

// Longest caption; a longer one is cut at a character boundary.
inline constexpr size_t QZ_MAX_CAPTION = 1999;
// The framework's caption ("house.ldr - Zarvel") with the model's title and author
// appended when they are known: two blanks and the title in quotes, then
// "  Author: " and the author.
std::string QzComposeCaption(const std::string& frameworkCaption, const std::string& title,
                             const std::string& author);

// The framework's caption: the document's title and the program's name, with the
// submodel shown, if any, in brackets after the title ("house.mpd [wheel.ldr] - Zarvel").
std::string QzFrameworkCaption(const std::string& documentTitle, const std::string& submodel);

// The status bar's building step: "Step 3/31"; empty when no model is loaded (a count
// of 0).
std::string QzStepText(int step, int count);

// The status bar's text while a check does not find the model file at its path:
// "Model file not found: house.ldr; waiting for it to come back" (the name without its
// folder, its bytes kept).
std::string QzMissingModelText(const std::string& modelPath);

// The name a save dialog proposes for a file made from the model: the model file's name
// without its folder and extension, then the extension (".png"). The bytes of the name
// are kept.
std::string QzProposedFileName(const std::string& modelPath, const std::string& extension);

// The About box's third line for a build time in local time: "Release version" and
// " built yyyy.mm.dd hh:mm"; null gives "Release version" alone.
std::string QzBuildLine(const std::tm* built);
// The build time stamp of this program from the compiler's date and time texts
// ("Dec  8 2026", "06:33:26"); false when they cannot be read.
bool QzParseBuildTime(const char* date, const char* time, std::tm& out);

// The start-up warning for a display of fewer than 24 bits per pixel; empty for one of
// 24 or more.
std::string QzColourDepthWarning(int bitsPerPixel);

// The zoom after `notches` steps of the mouse wheel (positive: towards the user, larger):
// each step multiplies by 1.1, rounded, and moves by at least 1; shrinking stops at 1.
int QzWheelZoom(int zoom, int notches);
