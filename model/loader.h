// Loading a model: the main file and every file it references, found in the LDraw
// library or beside the model, each read once into the part table, with reference
// cycles detected and every part's bounds and transparency computed.
//
// The reader's program-wide state lives here, in one place, with one reset.
#pragma once

#include <cstdint>
#include <string>

#include "files.h"
#include "geometry.h"
#include "model.h"
#include "observers.h"

// Longest LDraw library directory, and the size of the working buffer in which each
// candidate path is assembled (terminator included).
inline constexpr size_t QZ_MAX_LDRAW_DIR = 259;
inline constexpr size_t QZ_PATH_BUFFER = 264;

// Deepest nesting of references (transform blocks included) that a load accepts:
// beyond the 2000 parts of the table, which a chain of sections may use up, only a
// pile of transform blocks reaches it.
inline constexpr int QZ_MAX_REFERENCE_DEPTH = 2500;

// The places QzOpenPartFile searches, in order (QzFoundPlace).
inline constexpr int QZ_PLACE_AS_WRITTEN = 1;
inline constexpr int QZ_PLACE_BFC_P = 2;
inline constexpr int QZ_PLACE_BFC_PARTS = 3;
inline constexpr int QZ_PLACE_P = 4;
inline constexpr int QZ_PLACE_PARTS = 5;
inline constexpr int QZ_PLACE_MODELS = 6;
inline constexpr int QZ_PLACE_MODEL_DIR = 7;

// ---- Program-wide reader state ----
// QzCurrentFile, QzCurrentLine, QzCurrentLineText, QzModelTitle and QzModelAuthor
// are declared with the diagnostics (diagnostics.h).

// The LDraw library directory; taken from LDRAWDIR at load time when empty.
extern std::string QzLDrawDir;
// The main model's path up to and including its last "/" or "\"; empty without one.
extern std::string QzModelDir;
// Number given to the next transform block ("QzTransf%d"); never reset by loading.
extern int32_t QzTransfCounter;
// The one part file open at a time, and where QzOpenPartFile found it (1 to 7; 0
// when nothing was found).
extern plat::TextFile QzPartFile;
extern int QzFoundPlace;

// Told each corner and vertex that QzComputeBounds hands on when its camera flag is
// on (the POV export's camera fitting).
using QzCameraObserverList = QzObserverList<const QzVector&>;
extern QzCameraObserverList QzCameraObservers;

// Told each time a part file is opened for reading, with the part and the path on disk
// (load progress, and mapping logged names to real files).
using QzFileObserverList = QzObserverList<const QzPart&, const std::string&>;
extern QzFileObserverList QzFileObservers;

// ---- Operations ----

// 1 when the model was loaded, 0 when it was not (the reason was shown or logged).
// Under colour scheme 3 it first reads LDConfig.ldr from the library directory; when
// that fails it shows "Could not read LDConfig.ldr in %s" and goes on under scheme 0.
// Cached parts read under other colour definitions (QzColourDefinitions) are dropped
// and read again.
int QzReadModel(const std::string& path);
// 0 resolved, 1 file missing or reading failed, 2 reference cycle.
int QzResolvePart(QzPart* part, bool main, const char* referencedBy);
// Opens the first candidate found for the name into QzPartFile; null when none opens.
// Sets QzFoundPlace.
plat::TextFile* QzOpenPartFile(const std::string& name);
// A directory taken from the environment without its trailing "\" and "/"; a lone
// separator (the root) stays.
std::string QzStripTrailingSeparators(std::string dir);
// The PF_PRIM_DIR / PF_PARTS_DIR bits a part found at the given place gets.
uint32_t QzPlaceFlags(int place);
void QzComputeBounds(QzPart* part, bool update, bool camera);
bool QzHasTransparent(const QzPart* part);

// Back to start-up state: empty directories, counter 0, no file open, the coplanarity
// tolerances off; for tests. Observers belong to their scoped installers and stay.
void QzResetReaderState();
