// The POV-Ray scene writer: the export options, the order of the scene file, its
// header, the block of global switches and the trailer with the statistics comments.
// Like the reader it works on program-wide state, one export at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "geometry.h"

struct QzPart;

// Option flags.
inline constexpr uint32_t POV_CAMERA_GLOBE = 0x01;  // camera given as latitude, longitude, radius
inline constexpr uint32_t POV_PRIMITIVES = 0x04;    // known primitives become POV-Ray shapes

struct PovExportOptions {
    float cameraLatitude;
    float cameraLongitude;
    float cameraRadius;
    float background[3];
    int32_t modelColour;
    float cameraAngle;  // 0: replaced by the angle that fits a 4:3 picture
    float seamWidth;
    int32_t quality;
    uint32_t flags;
};

inline constexpr PovExportOptions kPovDefaultOptions{
    30.0f, 45.0f, 0.0f, {0.0f, 0.0f, 0.0f}, 7, 0.0f, 0.5f, 2, POV_CAMERA_GLOBE | POV_PRIMITIVES};

extern PovExportOptions PovOptions;

// Results of one export.
inline constexpr int POV_OK = 0;
inline constexpr int POV_ERROR = -1;
inline constexpr int POV_EMPTY = -2;
// The output file could not be opened; nothing was written.
inline constexpr int POV_NOT_OPENED = -3;
// The model's numbers do not fit a scene (camera or lights out of range); nothing is
// written and a file that was there stays as it was.
inline constexpr int POV_TOO_LARGE = -4;

// The program's name and version and the maker's notice, as the header names them.
extern const char* const PovBanner;

// "<x,y,z>" with each number as %g.
std::string PovVector(float x, float y, float z);
std::string PovVector(const QzVector& v);

// Clears PF_EXPORTED on the part and on everything it references.
void ClearExportMarks(QzPart* part);
void PovWriteHeader(std::ostream& out, const char* banner, const std::string& inputPath);
void PovWriteGlobals(std::ostream& out);
// POV_OK, POV_ERROR or POV_EMPTY.
int PovWriteTrailer(std::ostream& out);
// Overwrites everything from the global block on with comment lines; returns result.
int PovAbandon(std::ostream& out, int result);

// One whole export of the loaded model (entry 0 of the part table) onto an open
// stream: marks, header, camera points, flags line, globals, declarations, trailer.
// A stream that failed on the way makes the result POV_ERROR; a number that cannot be
// written makes it POV_TOO_LARGE.
int PovWriteScene(std::ostream& out, const std::string& inputPath);

// Writes the scene to a temporary file beside the target and renames it over the
// target when complete (plat::AtomicFile); sets the drawing statistics to the export's
// duration and zero line counts. No message boxes. POV_OK, POV_ERROR, POV_EMPTY,
// POV_NOT_OPENED or POV_TOO_LARGE; after POV_TOO_LARGE or a failed write (POV_ERROR
// without the abandon note) the target is exactly as it was.
int PovWriteSceneFile(const std::string& outPath, const std::string& inputPath);

// The texts the menu command shows for a result (empty for POV_OK).
std::string PovResultMessage(int result);

// What the save dialog of the menu command is asked to show.
struct PovSaveDialog {
    std::string title;
    std::string filter;
    std::string defaultExtension;
    std::string initialName;
    std::string initialFolder;
};
// Shows the dialog; the chosen path, or nothing when the user cancelled.
using PovAskPath = std::function<std::optional<std::string>(const PovSaveDialog&)>;

// The File menu command "Write POV file...": warning box, save dialog, export and
// the result's box.
void WritePovFile(const PovAskPath& askPath);
// The model path's base name (no folder, no extension) followed by ".pov".
std::string PovProposedFileName(const std::string& modelPath);

// Options, camera and export state back to start-up values; for tests.
void PovResetState();
