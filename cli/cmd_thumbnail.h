// zarvel-cli thumbnail: the picture a file manager shows for a model. A square PNG with
// an alpha channel, transparent where nothing is drawn, the model fitted into it with a
// margin; the library folder found as the desktop program finds it. The command ends
// within its own limit of processor time and never leaves a partial file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

class QzModel;
class QzViewCore;

namespace cli {

// The size a thumbnail has unless asked otherwise, and the largest one drawn.
inline constexpr int kThumbnailSize = 256;
inline constexpr int kMaxThumbnailSize = 4096;
// Seconds of processor time a thumbnail may take (file managers give up on slower ones).
inline constexpr int kThumbnailCpuSeconds = 20;

struct ThumbnailOptions {
    std::string input;
    std::string output;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    int size = kThumbnailSize;
    // Seconds of processor time; 0 sets no limit (for running the command in-process).
    int cpuLimit = kThumbnailCpuSeconds;
};

// Gives the command its options, bound to `options`.
void AddThumbnailOptions(CLI::App& command, ThumbnailOptions& options);
int RunThumbnail(const ThumbnailOptions& options, std::ostream& out, std::ostream& err);

// The local path an input names: a path as it is; a file URI ("file:///path",
// "file://localhost/path", "file://<this machine's name>/path" or "file:/path")
// percent-decoded. Nothing for a file URI of another host, with a fragment, or with a
// broken escape or one of a NUL or a "/" (which no file name holds).
std::optional<std::string> ThumbnailInputPath(const std::string& input);

// Every drawing setting of a thumbnail, in one place: the library's colours (falling
// back to the first scheme when the library has no LDConfig.ldr), standard view 1, the
// high-quality drawing.
// Called before the model is loaded (the scheme decides which colours are defined).
void SetUpThumbnailDrawing(QzViewCore& view);

// Draws the loaded model fitted with the margin into the view's image (already sized)
// and returns the pixels as red, green, blue, alpha, rows from the top: alpha 0 (and
// black) where nothing is drawn, 255 elsewhere. Empty when nothing was drawn.
std::vector<uint8_t> DrawThumbnail(QzViewCore& view, const QzModel& model);

}  // namespace cli
