// Loading a model: the main file and every file it references, found in the LDraw
// library or beside the model, each read once into the model's part table, with
// reference cycles detected and every part's bounds and transparency computed.
//
//   QzModel model;                     // the caller's: also the cache of parts
//   QzPalette palette;                 // scheme 0 unless selected otherwise
//   QzLoadSettings settings;
//   settings.ldrawDir = "/usr/share/ldraw";
//   if (QzLoadModel(model, path, settings, palette, true)) ... model.Main() ...
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "bfc.h"
#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "geometry.h"
#include "model.h"

// Longest LDraw library directory, and the size of the working buffer in which each
// candidate path is assembled (terminator included).
inline constexpr size_t QZ_MAX_LDRAW_DIR = 259;
inline constexpr size_t QZ_PATH_BUFFER = 264;

// Deepest nesting of references (transform blocks included) that a load accepts:
// beyond the 2000 parts of the table, which a chain of sections may use up, only a
// pile of transform blocks reaches it.
inline constexpr int QZ_MAX_REFERENCE_DEPTH = 2500;

// The places QzOpenPartFile searches, in order (QzReader::foundPlace).
inline constexpr int QZ_PLACE_AS_WRITTEN = 1;
inline constexpr int QZ_PLACE_BFC_P = 2;
inline constexpr int QZ_PLACE_BFC_PARTS = 3;
inline constexpr int QZ_PLACE_P = 4;
inline constexpr int QZ_PLACE_PARTS = 5;
inline constexpr int QZ_PLACE_MODELS = 6;
inline constexpr int QZ_PLACE_MODEL_DIR = 7;

// What a load takes from its caller besides the model and the palette.
struct QzLoadSettings {
    // The LDraw library directory; LDRAWDIR is taken at load time when it is empty.
    std::string ldrawDir;
    // Messages of a higher level than this are not logged.
    int warningLevel = 0;
    QzCoplanarTolerances tolerances;
    // Told each time a part file is opened for reading, with the part and the path on
    // disk (load progress, and mapping logged names to real files). May be empty.
    std::function<void(const QzPart&, const std::string&)> onFileOpened;
};

// The state of one reading: what it reads into and with, the log it writes, where the
// model lies, the one part file open at a time, and how deep the references go.
class QzReader {
  public:
    QzReader(QzModel& model, const QzLoadSettings& settings, const QzPalette& palette,
             std::string ldrawDir);

    QzModel& model;
    const QzLoadSettings& settings;
    const QzPalette& palette;
    QzLogContext log;
    // The library directory in use.
    std::string ldrawDir;
    // The main model's path up to and including its last "/" or "\"; empty without one.
    std::string modelDir;
    // The library folder and the model's folder as they are on disk, found at their
    // first use in a load; nothing when they are not there.
    struct Place {
        bool looked = false;
        std::optional<std::string> real;
    };
    Place libraryFolder;
    Place modelFolder;
    plat::TextFile partFile;
    // Where QzOpenPartFile found the last file (1 to 7; 0 when nothing was found).
    int foundPlace = 0;
    // Parts being resolved at the moment, one inside the other.
    int resolveDepth = 0;
    // Depth at which the last cycle or too deep nesting was found: the chain of
    // "referenced by" lines logged on the way out is that long.
    int failedDepth = 0;
};

// 1 when the model was loaded into entry 0 of the table, 0 when it was not (the reason
// was shown or logged). Under colour scheme 3 it first reads LDConfig.ldr from the
// library directory into the palette; when that fails it shows "Could not read
// LDConfig.ldr in %s" and goes on under scheme 0. Cached parts read under other colour
// definitions are dropped and read again.
int QzReadModel(QzModel& model, const std::string& path, const QzLoadSettings& settings,
                QzPalette& palette);
// The whole load as a program does it: the parts cache emptied first unless it is to be
// kept, the input log, title and author cleared, the read timed into loadTimeMs.
int QzLoadModel(QzModel& model, const std::string& path, const QzLoadSettings& settings,
                QzPalette& palette, bool keepCache);
// Resolves a section of the loaded model's file that the main model does not place (a
// load resolves only what the main model reaches) as the load would have: the files it
// references are read and its bounds computed; problems go to the model's input log and
// boxes as during a load. 0 when it is resolved (or was), 1 when a file is missing or
// reading failed, 2 for a reference cycle (the section stays unresolved).
int QzResolveSection(QzModel& model, QzPart& section, const QzLoadSettings& settings,
                     const QzPalette& palette);
// 0 resolved, 1 file missing or reading failed, 2 reference cycle.
int QzResolvePart(QzReader& reader, QzPart* part, bool main, const char* referencedBy);
// Opens the first candidate found for the name into the reader's part file; null when
// none opens. Sets foundPlace.
plat::TextFile* QzOpenPartFile(QzReader& reader, const std::string& name);
// A directory taken from the environment without its trailing "\" and "/"; a lone
// separator (the root) stays.
std::string QzStripTrailingSeparators(std::string dir);
// The PF_PRIM_DIR / PF_PARTS_DIR bits a part found at the given place gets.
uint32_t QzPlaceFlags(int place);
// The part's bounds, with and without studs, from its lines and the bounds of the
// parts it references; PF_EMPTY when nothing in it has a point.
void QzComputeBounds(QzPart* part);
// The points the bounds walk sees of a part's own lines: the eight corners of each
// referenced part's box, placed, and the vertices of lines, triangles, quadrilaterals
// and the ends of optional lines. The POV export fits its camera to them.
void QzBoundsPoints(const QzPart& part, const std::function<void(const QzVector&)>& visit);
bool QzHasTransparent(const QzPart* part, const QzPalette& palette);
