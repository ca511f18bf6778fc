// Building instructions as a guide that any web browser opens from disk and prints one
// step per page: a folder with index.html (plain HTML and CSS, no scripts, nothing
// fetched from elsewhere), a picture of every step, a small picture of every part in
// each colour it takes, and steps.json for tools.
//
// The steps come in building order (sections.h: every submodel built before the first
// step that places it, the main model's steps last). A title page names the model, its
// author and its number of steps, and lists its parts as the parts list does, each with
// its picture. Each step's page shows the file built up to that step, placed as the whole
// file is (it does not move between steps), the earlier steps lighter unless told not
// to, and beside it what the step adds: each file in each colour with its quantity and
// picture (a submodel placed is one item). A step of a submodel says which one it
// builds.
//
// The pictures are drawn on several threads at once, one drawing each; every file is
// written through plat::AtomicFile, pictures first and index.html last, so a guide that
// could not be finished (a full disk, Cancel) leaves no index.html that shows a picture
// not there. Files of the folder the guide does not write are left alone.
//
//   QzGuideResult done = QzWriteGuide(model, palette, ldrawDir, "guide", {}, progress);
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "colours.h"
#include "model.h"

struct QzGuideOptions {
    // Size of the step pictures, in pixels.
    int width = 800;
    int height = 600;
    // The high-quality drawing (hqrender.h), else the normal one.
    bool highQuality = true;
    // Earlier steps drawn lighter.
    bool fade = true;
    // Pictures drawn at once; 0 for as many as the machine has processors.
    int threads = 0;
};

// Width and height of the part pictures, in pixels.
inline constexpr int QZ_GUIDE_PART_PICTURE = 96;

struct QzGuideResult {
    enum class Outcome { Written, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    // Why it failed: a sentence naming the file or folder.
    std::string error;
    // Steps of the guide, and pictures written (steps and parts).
    int steps = 0;
    int pictures = 0;
};

// Told how many of the guide's step pictures are done, of how many; false stops the
// writing (Cancel). Called on the thread that writes the guide, after every step picture
// and at least every tenth of a second while pictures are drawn.
using QzGuideProgress = std::function<bool(int done, int total)>;

// Writes the guide of a loaded model into the folder `dir` (made when it is not there).
// The palette is the one the model was loaded with; ldrawDir names the library's parts
// folders and colours for the parts list.
QzGuideResult QzWriteGuide(const QzModel& model, const QzPalette& palette,
                           const std::string& ldrawDir, const std::string& dir,
                           const QzGuideOptions& options, const QzGuideProgress& progress = {});

// The file names the guide gives the picture of its step `number` (from 1) and of its
// part picture `number` (from 1).
std::string QzGuideStepPicture(int number);
std::string QzGuidePartPicture(int number);
