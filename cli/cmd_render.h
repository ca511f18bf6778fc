// zarvel-cli render: loads a model, draws it once as the desktop view would and writes
// the image as a PNG; prints the status-bar statistics of the drawing.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct RenderOptions {
    std::string ldraw;
    // The submodel to work on (--submodel); empty for the main model.
    std::string submodel;
    std::string model;
    std::string output;
    std::string size = "800x600";
    int view = 0;
    std::string matrix;
    int zoom = 100;
    int scheme = 0;
    // NAME=on|off, NAME a drawing option, showModelBox, showAxes or timeCalculations;
    // seamWidth=NUMBER.
    std::vector<std::string> opts;
    std::string preview;             // empty, "wire" or "solid"
    std::string quality = "normal";  // or "high"
    bool fit = false;
    // The building step to draw; the whole model when not given.
    std::optional<int> step;
};

// Gives the command its options, bound to `options`.
void AddRenderOptions(CLI::App& command, RenderOptions& options);
int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

// "WxH" with both numbers positive; false for anything else.
bool ParseImageSize(const std::string& text, int& width, int& height);

}  // namespace cli
