#include "loader.h"

#include <new>
#include <string_view>

#include "bfc.h"
#include "colours.h"
#include "diagnostics.h"
#include "ldconfig.h"
#include "linereader.h"
#include "messagebox.h"

std::string QzLDrawDir;
std::string QzModelDir;
int32_t QzTransfCounter = 0;
plat::TextFile QzPartFile;
int QzFoundPlace = 0;
QzCameraObserverList QzCameraObservers;
QzFileObserverList QzFileObservers;

namespace {

// Parts being resolved at the moment, one inside the other.
int resolveDepth = 0;
// Depth at which the last cycle or too deep nesting was found: the chain of
// "referenced by" lines logged on the way out is that long.
int failedDepth = 0;
// Links of a long chain logged at each end; those between are counted in one line.
constexpr int kChainEndLinks = 10;
// QzColourDefinitions when the parts in the table were read: their colours were
// checked against the numbers defined then.
uint32_t partsDefinitions = 0;

// Library subfolders in search order (places 2 to 6). References and these suffixes
// write "\" between components; the platform layer resolves either separator.
constexpr const char* kLibrarySuffixes[5] = {"\\BFC\\P\\", "\\BFC\\Parts\\", "\\P\\", "\\Parts\\",
                                             "\\Models\\"};
constexpr const char* kExtensions[3] = {"", ".dat", ".mpd"};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Assembles one candidate; false when it would not fit the candidate buffer.
bool MakeCandidate(std::string& out, std::string_view prefix, std::string_view suffix,
                   std::string_view name, std::string_view extension) {
    size_t length = prefix.size() + suffix.size() + name.size() + extension.size();
    if (length >= QZ_PATH_BUFFER) return false;
    out.clear();
    out.append(prefix).append(suffix).append(name).append(extension);
    return true;
}

}  // namespace

std::string QzStripTrailingSeparators(std::string dir) {
    // On this platform "/" separates as well as "\".
    while (dir.size() > 1 && IsSeparator(dir.back())) dir.pop_back();
    return dir;
}

uint32_t QzPlaceFlags(int place) {
    switch (place) {
        case QZ_PLACE_BFC_P:
        case QZ_PLACE_P:
            return PF_PRIM_DIR;
        case QZ_PLACE_BFC_PARTS:
        case QZ_PLACE_PARTS:
            return PF_PARTS_DIR;
        default:
            return 0;
    }
}

plat::TextFile* QzOpenPartFile(const std::string& name) {
    QzPartFile.Close();
    QzFoundPlace = 0;
    // A library directory too long for its buffer leaves the library places out.
    bool libraryUsable = QzLDrawDir.size() <= QZ_MAX_LDRAW_DIR;
    std::string candidate;
    candidate.reserve(QZ_PATH_BUFFER);
    for (const char* extension : kExtensions) {
        for (int place = QZ_PLACE_AS_WRITTEN; place <= QZ_PLACE_MODEL_DIR; ++place) {
            bool formed = false;
            if (place == QZ_PLACE_AS_WRITTEN) {
                formed = MakeCandidate(candidate, "", "", name, extension);
            } else if (place <= QZ_PLACE_MODELS) {
                if (!libraryUsable) continue;
                formed = MakeCandidate(candidate, QzLDrawDir,
                                       kLibrarySuffixes[place - QZ_PLACE_BFC_P], name, extension);
            } else {
                if (QzModelDir.empty()) continue;
                formed = MakeCandidate(candidate, QzModelDir, "", name, extension);
            }
            if (formed && QzPartFile.Open(candidate)) {
                QzFoundPlace = place;
                return &QzPartFile;
            }
            // Found, but too large to read: the search ends here (QzPartFile tells).
            if (QzPartFile.TooLargeSize() != 0) return nullptr;
        }
    }
    return nullptr;
}

void QzComputeBounds(QzPart* part, bool update, bool camera) {
    camera = camera && !QzCameraObservers.Empty();
    if (update) {
        QzBoxReset(part->box);
        part->boxNoStuds = part->box;
        part->flags |= PF_EMPTY;
    }
    for (const QzLine* line = part->lines; line; line = line->next) {
        switch (line->type) {
            case 1: {
                const QzPart* sub = line->part;
                if (!sub || (sub->flags & PF_EMPTY)) break;
                if (update) part->flags &= ~PF_EMPTY;
                const QzMatrix& m = QzLineMatrix(*line);
                QzVector p;
                for (int i = 0; i < 8; ++i) {
                    QzMatTransformPoint(p, m, QzBoxCorner(sub->box, i));
                    if (update) QzBoxExtend(p, part->box);
                    if (camera) QzCameraObservers.Notify(p);
                }
                if (!(sub->flags & PF_STUD)) {
                    for (int i = 0; i < 8; ++i) {
                        QzMatTransformPoint(p, m, QzBoxCorner(sub->boxNoStuds, i));
                        if (update) QzBoxExtend(p, part->boxNoStuds);
                    }
                }
                break;
            }
            case 2:
            case 3:
            case 4:
            case 5: {
                int count = line->type == 5 ? 2 : line->type;
                if (update) part->flags &= ~PF_EMPTY;
                for (int i = 0; i < count; ++i) {
                    QzVector p{line->p[i].x, line->p[i].y, line->p[i].z};
                    if (update) {
                        QzBoxExtend(p, part->box);
                        QzBoxExtend(p, part->boxNoStuds);
                    }
                    if (camera) QzCameraObservers.Notify(p);
                }
                break;
            }
            default:
                break;
        }
    }
    if (part->boxNoStuds.min.x > 1e15f) part->boxNoStuds = part->box;
}

bool QzHasTransparent(const QzPart* part) {
    for (const QzLine* line = part->lines; line; line = line->next) {
        if (line->type < 1 || line->type > 5) continue;
        if (line->type == 1 && line->part && (line->part->flags & PF_TRANSPARENT)) return true;
        if (QzIsTransparentColour(line->colour)) return true;
    }
    return false;
}

namespace {

// One "referenced by" line of the chain that a failed resolution logs on its way out to
// the model. A chain of thousands of links (mostly transform blocks) shows its first
// and last ten, and the number of those between.
void LogChainLink(const QzPart& part, const QzLine& line) {
    const int fromInside = failedDepth - resolveDepth;  // 0 for the innermost link
    const int omitted = failedDepth - 2 * kChainEndLinks;
    if (fromInside < kChainEndLinks || resolveDepth <= kChainEndLinks) {
        QzWarn(0, QZ_ASIS, "%s",
               QzCompose("referenced by %s line %u", part.name.c_str(), line.lineNo).c_str());
    } else if (resolveDepth == kChainEndLinks + 1) {
        QzWarn(0, QZ_ASIS, "... %d more links ...", omitted);
    }
}

// QzResolvePart once the part is known not to close a cycle.
int ResolveNewlyBusy(QzPart* part, bool main, const char* referencedBy) {
    part->flags |= PF_BUSY;

    if (!(part->flags & PF_READ)) {
        plat::TextFile* file = QzOpenPartFile(part->name);
        if (!file) {
            const char* by = referencedBy ? referencedBy : "*";
            if (const uint64_t size = QzPartFile.TooLargeSize())
                QzError(QzCompose(
                    "%s is too large to read: %llu bytes, more than the 256 MB a "
                    "file may have\nReferenced by %s",
                    QzPartFile.Path().c_str(), static_cast<unsigned long long>(size), by));
            else
                QzError(QzCompose("Could not find %s\nReferenced by %s", part->name.c_str(), by));
            part->flags &= ~PF_BUSY;
            part->flags |= PF_READ | PF_RESOLVED | PF_EMPTY;
            return 1;
        }
        part->flags = (part->flags & ~(PF_PRIM_DIR | PF_PARTS_DIR)) | QzPlaceFlags(QzFoundPlace);
        QzFileObservers.Notify(*part, file->Path());
        if (!QzReadPartFile(*file, part, referencedBy, main)) {
            // Left unresolved, but no longer in progress: a later reference must not
            // mistake it for a cycle.
            part->flags &= ~PF_BUSY;
            return 1;
        }
    }

    for (QzLine* line = part->lines; line; line = line->next) {
        if (line->type != 1 || !line->part || (line->part->flags & PF_RESOLVED)) continue;
        QzPart* sub = line->part;
        bool subMain = (sub->flags & PF_INTERNAL) ? main : false;
        if (QzResolvePart(sub, subMain, part->name.c_str()) == 2) {
            LogChainLink(*part, *line);
            return 2;
        }
    }

    QzComputeBounds(part, true, main);
    if (QzHasTransparent(part)) {
        part->flags |= PF_TRANSPARENT;
    } else {
        part->flags &= ~PF_TRANSPARENT;
    }
    part->flags &= ~PF_BUSY;
    part->flags |= PF_RESOLVED;
    return 0;
}

}  // namespace

int QzResolvePart(QzPart* part, bool main, const char* referencedBy) {
    if (part->flags & PF_BUSY) {
        QzWarn(0, QZ_ASIS, "%s", QzCompose("Recursive references: %s", part->name.c_str()).c_str());
        failedDepth = resolveDepth;
        return 2;
    }
    // Every walk over the part tree recurses once per level: a tree deeper than this
    // would exhaust the stack. It fails the load the way a cycle does.
    if (resolveDepth >= QZ_MAX_REFERENCE_DEPTH) {
        QzWarn(0, QZ_ASIS, "%s",
               QzCompose("References nested too deeply: %s", part->name.c_str()).c_str());
        failedDepth = resolveDepth;
        return 2;
    }
    ++resolveDepth;
    int result = ResolveNewlyBusy(part, main, referencedBy);
    --resolveDepth;
    return result;
}

int QzReadModel(const std::string& path) {
    plat::ClearPathCache();
    QzTableFullShown = false;
    if (QzLDrawDir.empty()) {
        std::optional<std::string> env = plat::GetEnv("LDRAWDIR");
        if (!env) {
            QzError("LDRAWDIR not set.\nSpecify directory in the Edit menu.");
            return 0;
        }
        QzLDrawDir = QzStripTrailingSeparators(*env);
    }

    // The colours of LDConfig.ldr, once per load; without them the scheme falls back
    // to the first.
    if (QzColourScheme == QZ_SCHEME_LDCONFIG) {
        if (QzReadLDConfig()) {
            QzSelectColourScheme(QZ_SCHEME_LDCONFIG);
        } else {
            plat::ShowMessage(
                QzLDrawDir.empty()
                    ? "Could not read LDConfig.ldr: no LDraw directory is given"
                    : QzCompose("Could not read LDConfig.ldr in %s", QzLDrawDir.c_str()),
                plat::MessageKind::Exclamation);
            QzSelectColourScheme(0);
        }
    }
    // Parts cached under other colour definitions are read again: which colours
    // they keep and which they report was decided by those.
    if (partsDefinitions != QzColourDefinitions) {
        QzFreeAllParts();
        partsDefinitions = QzColourDefinitions;
    }

    size_t cut = path.find_last_of("/\\");
    QzModelDir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);

    if (QzPartCount > 0) {
        QzFreePart(&QzParts[0]);
    } else {
        QzPartCount = 1;
    }
    QzPart& model = QzParts[0];
    try {
        model.name = path;
    } catch (const std::bad_alloc&) {
        QzError("Out of memory for model name");
        return 0;
    }
    model.lines = nullptr;

    if (QzAddColour(7) != 0) return 0;

    switch (QzResolvePart(&model, true, nullptr)) {
        case 0:
            return 1;
        case 2:
            QzError("Recursion detected. See log, fix problem, try again");
            QzFreeAllParts();
            QzFreeLights();
            return 0;
        default:
            return 0;
    }
}

void QzResetReaderState() {
    QzLDrawDir.clear();
    QzModelDir.clear();
    QzTransfCounter = 0;
    QzPartFile.Close();
    QzFoundPlace = 0;
    QzCoplanarTolerance = 0;
    QzCoplanarRatioTolerance = 0;
    resolveDepth = 0;
    failedDepth = 0;
    partsDefinitions = 0;
}
