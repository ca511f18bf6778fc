// The POV-Ray scene writer: the order of the scene file, its header, the block of
// global switches and the trailer with the statistics comments. An export reads the
// model and writes a scene; it changes nothing else.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "colours.h"
#include "model.h"
#include "povbase.h"

// The program's name and version and the maker's notice, as the header names them.
extern const char* const PovBanner;

void PovWriteHeader(PovScene& scene, const char* banner, const std::string& inputPath);
void PovWriteGlobals(PovScene& scene);
// POV_OK, POV_ERROR or POV_EMPTY.
int PovWriteTrailer(PovScene& scene);
// Overwrites everything from the global block on with comment lines; returns result.
int PovAbandon(PovScene& scene, int result);

// What an export ends with: its result, the camera it placed, and (for a file) how
// long it took.
struct PovExport {
    int result = POV_OK;
    PovCameraState camera{};
    int32_t durationMs = 0;
};

// One whole export of the model (entry 0 of its table) onto an open stream: header,
// camera points, flags line, globals, declarations, trailer. A stream that failed on
// the way makes the result POV_ERROR; a number that cannot be written makes it
// POV_TOO_LARGE.
PovExport PovWriteScene(std::ostream& out, const QzModel& model, const QzPalette& palette,
                        const PovExportOptions& options, const std::string& inputPath);
// Writes the scene to a temporary file beside the target and renames it over the
// target when complete (plat::AtomicFile): POV_OK, POV_ERROR, POV_EMPTY, POV_NOT_OPENED
// or POV_TOO_LARGE, and the time it took (none when the file did not open). After
// POV_TOO_LARGE or a failed write (POV_ERROR without the abandon note) the target is
// exactly as it was.
PovExport PovWriteSceneFile(const std::string& outPath, const QzModel& model,
                            const QzPalette& palette, const PovExportOptions& options,
                            const std::string& inputPath);
// The texts the menu command shows for a result (empty for POV_OK).
std::string PovResultMessage(int result);
// The model path's base name (no folder, no extension) followed by ".pov".
std::string PovProposedFileName(const std::string& modelPath);
