#include "loader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <new>
#include <string_view>

#include "clock.h"
#include "drawdata.h"
#include "linereader.h"
#include "messagebox.h"
#include "texmap.h"

namespace {

// Links of a long chain logged at each end; those between are counted in one line.
constexpr int kChainEndLinks = 10;

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

QzReader::QzReader(QzModel& modelIn, const QzLoadSettings& settingsIn, const QzPalette& paletteIn,
                   std::string ldrawDirIn)
    : model(modelIn),
      settings(settingsIn),
      palette(paletteIn),
      log(modelIn.inputLog, modelIn.inputDiagnostics, settingsIn.warningLevel),
      ldrawDir(std::move(ldrawDirIn)) {}

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

namespace {

// The folder a place's candidates lie in, as it is on disk, found at the first lookup of
// a load: every lookup then walks only the reference's own components below it.
const std::optional<std::string>& PlaceFolder(QzReader::Place& place, const std::string& dir) {
    if (!place.looked) {
        place.looked = true;
        // An empty library directory puts the library folders at the root.
        place.real = plat::ResolvePath(dir.empty() ? "/" : dir);
    }
    return place.real;
}

}  // namespace

plat::TextFile* QzOpenPartFile(QzReader& reader, const std::string& name) {
    reader.partFile.Close();
    reader.foundPlace = 0;
    // A library directory too long for its buffer leaves the library places out.
    bool libraryUsable = reader.ldrawDir.size() <= QZ_MAX_LDRAW_DIR;
    std::string candidate;
    candidate.reserve(QZ_PATH_BUFFER);
    // The candidates are looked for one right after the other: each folder on the way is
    // checked against the disk once for all of them (once for the whole load when it is
    // a load's lookup).
    plat::PathLookupScope oneLookup;
    for (const char* extension : kExtensions) {
        for (int place = QZ_PLACE_AS_WRITTEN; place <= QZ_PLACE_MODEL_DIR; ++place) {
            bool opened = false;
            if (place == QZ_PLACE_AS_WRITTEN) {
                opened = MakeCandidate(candidate, "", "", name, extension) &&
                         reader.partFile.Open(candidate);
            } else {
                const bool library = place <= QZ_PLACE_MODELS;
                if (library ? !libraryUsable : reader.modelDir.empty()) continue;
                const std::string& prefix = library ? reader.ldrawDir : reader.modelDir;
                const std::optional<std::string>& folder =
                    PlaceFolder(library ? reader.libraryFolder : reader.modelFolder, prefix);
                const char* suffix = library ? kLibrarySuffixes[place - QZ_PLACE_BFC_P] : "";
                opened = folder && MakeCandidate(candidate, "", suffix, name, extension) &&
                         prefix.size() + candidate.size() < QZ_PATH_BUFFER &&
                         reader.partFile.OpenBelow(*folder, candidate);
            }
            if (opened) {
                reader.foundPlace = place;
                return &reader.partFile;
            }
            // Found, but too large to read: the search ends here (the part file tells).
            if (reader.partFile.TooLargeSize() != 0) return nullptr;
        }
    }
    return nullptr;
}

namespace {

bool IsFinite(const QzBox& box) {
    return std::isfinite(box.min.x) && std::isfinite(box.min.y) && std::isfinite(box.min.z) &&
           std::isfinite(box.max.x) && std::isfinite(box.max.y) && std::isfinite(box.max.z);
}

float& Axis(QzVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Extends a box by the eight corners of a part's box placed by a matrix, one axis at a
// time. A placed coordinate is a sum of products, one for each coordinate of the corner;
// sums and products round monotonically, so the least and the greatest of the eight
// come from the lesser and the greater product of each term, added in the same order.
// That gives the bounds that placing every corner gives, unless a bound is zero (the
// first corner to reach it decides its sign) or a number is not finite (a product may
// not be a number): then every corner is placed, in order.
void ExtendByPlacedBox(QzBox& box, const QzMatrix& matrix, const QzBox& sub) {
    const bool finite = IsFinite(sub);
    for (int r = 0; r < 3; ++r) {
        const float* row = matrix.m[r];
        float& lowest = Axis(box.min, r);
        float& highest = Axis(box.max, r);
        if (finite && std::isfinite(row[0]) && std::isfinite(row[1]) && std::isfinite(row[2]) &&
            std::isfinite(row[3])) {
            const double x0 = double(row[0]) * sub.min.x, x1 = double(row[0]) * sub.max.x;
            const double y0 = double(row[1]) * sub.min.y, y1 = double(row[1]) * sub.max.y;
            const double z0 = double(row[2]) * sub.min.z, z1 = double(row[2]) * sub.max.z;
            const float low =
                static_cast<float>(std::min(x0, x1) + std::min(y0, y1) + std::min(z0, z1) + row[3]);
            const float high =
                static_cast<float>(std::max(x0, x1) + std::max(y0, y1) + std::max(z0, z1) + row[3]);
            if (low != 0 && high != 0) {
                // As QzBoxExtend compares.
                if (!(low >= lowest)) lowest = low;
                if (high > highest) highest = high;
                continue;
            }
        }
        for (int i = 0; i < 8; ++i) {
            const QzVector p = QzBoxCorner(sub, i);
            // As QzMatTransformPoint computes the coordinate.
            const float v = static_cast<float>(double(row[0]) * p.x + double(row[1]) * p.y +
                                               double(row[2]) * p.z + row[3]);
            if (!(v >= lowest)) lowest = v;
            if (v > highest) highest = v;
        }
    }
}

}  // namespace

void QzComputeBounds(QzPart* part) {
    QzBoxReset(part->box);
    part->boxNoStuds = part->box;
    part->flags |= PF_EMPTY;
    for (const QzLine* line = part->lines; line; line = line->next) {
        switch (line->type) {
            case 1: {
                const QzPart* sub = line->part;
                if (!sub || (sub->flags & PF_EMPTY)) break;
                part->flags &= ~PF_EMPTY;
                const QzMatrix& m = QzLineMatrix(*line);
                ExtendByPlacedBox(part->box, m, sub->box);
                if (!(sub->flags & PF_STUD))
                    ExtendByPlacedBox(part->boxNoStuds, m, sub->boxNoStuds);
                break;
            }
            case 2:
            case 3:
            case 4:
            case 5: {
                int count = line->type == 5 ? 2 : line->type;
                part->flags &= ~PF_EMPTY;
                for (int i = 0; i < count; ++i) {
                    QzVector p{line->p[i].x, line->p[i].y, line->p[i].z};
                    QzBoxExtend(p, part->box);
                    QzBoxExtend(p, part->boxNoStuds);
                }
                break;
            }
            default:
                break;
        }
    }
    if (part->boxNoStuds.min.x > 1e15f) part->boxNoStuds = part->box;
}

void QzBoundsPoints(const QzPart& part, const std::function<void(const QzVector&)>& visit) {
    for (const QzLine* line = part.lines; line; line = line->next) {
        if (line->type == 1) {
            const QzPart* sub = line->part;
            if (!sub || (sub->flags & PF_EMPTY)) continue;
            const QzMatrix& m = QzLineMatrix(*line);
            for (int i = 0; i < 8; ++i) {
                QzVector p;
                QzMatTransformPoint(p, m, QzBoxCorner(sub->box, i));
                visit(p);
            }
        } else if (line->type >= 2 && line->type <= 5) {
            const int count = line->type == 5 ? 2 : line->type;
            for (int i = 0; i < count; ++i) visit({line->p[i].x, line->p[i].y, line->p[i].z});
        }
    }
}

bool QzHasTransparent(const QzPart* part, const QzPalette& palette) {
    for (const QzLine* line = part->lines; line; line = line->next) {
        if (line->type < 1 || line->type > 5) continue;
        if (line->type == 1 && line->part && (line->part->flags & PF_TRANSPARENT)) return true;
        if (QzIsTransparentColour(palette, line->colour)) return true;
    }
    return false;
}

namespace {

// One "referenced by" line of the chain that a failed resolution logs on its way out to
// the model. A chain of thousands of links (mostly transform blocks) shows its first
// and last ten, and the number of those between.
void LogChainLink(QzReader& reader, const QzPart& part, const QzLine& line) {
    const int fromInside = reader.failedDepth - reader.resolveDepth;  // 0: the innermost link
    const int omitted = reader.failedDepth - 2 * kChainEndLinks;
    if (fromInside < kChainEndLinks || reader.resolveDepth <= kChainEndLinks) {
        QzWarn(reader.log, 0, QZ_ASIS, "%s",
               QzCompose("referenced by %s line %u", part.name.c_str(), line.lineNo).c_str());
    } else if (reader.resolveDepth == kChainEndLinks + 1) {
        QzWarn(reader.log, 0, QZ_ASIS, "... %d more links ...", omitted);
    }
}

// The files that a part's texture geometry ("0 !:" lines) references, found in the table
// or among the model's texture parts, and resolved. 2 for a cycle.
int ResolveTextureGeometry(QzReader& reader, QzPart& part) {
    QzTexturedLines& view = *part.textured;
    for (size_t i = 0; i < view.references.size(); ++i) {
        QzLine& line = *view.references[i];
        reader.log.currentFile = part.name;
        reader.log.currentLine = line.lineNo;
        reader.log.currentLineText = view.referenceTexts[i];
        if (!line.part)
            line.part = QzFindTexturePart(reader.model, reader.log, view.referenceNames[i]);
        QzPart* sub = line.part;
        if (!sub || (sub->flags & PF_RESOLVED)) continue;
        const int result = QzResolvePart(reader, sub, false, part.name.c_str());
        if (result == 2) {
            LogChainLink(reader, part, line);
            return 2;
        }
        if (sub->flags & PF_MISSING) {
            // The block is read as without textures.
            if (const uint16_t block = view.referenceBlocks[i])
                view.blocks[block - 1u].missingGeometry = true;
            reader.log.currentFile = part.name;
            reader.log.currentLine = line.lineNo;
            reader.log.currentLineText = view.referenceTexts[i];
            QzWarn(reader.log, QZ_TEXMAP_NOTE_LEVEL, QZ_WARNING,
                   "Could not find %s for texture geometry", sub->name.c_str());
        }
    }
    return 0;
}

// QzResolvePart once the part is known not to close a cycle.
int ResolveNewlyBusy(QzReader& reader, QzPart* part, bool main, const char* referencedBy) {
    part->flags |= PF_BUSY;

    if (!(part->flags & PF_READ)) {
        plat::TextFile* file = QzOpenPartFile(reader, part->name);
        if (!file) {
            const char* by = referencedBy ? referencedBy : "*";
            if (part->flags & PF_TEXTURE_PART) {
                // Geometry only a reader with textures sees: the place that names it
                // tells (ResolveTextureGeometry).
            } else if (const uint64_t size = reader.partFile.TooLargeSize())
                QzError(QzCompose(
                    "%s is too large to read: %llu bytes, more than the 256 MB a "
                    "file may have\nReferenced by %s",
                    reader.partFile.Path().c_str(), static_cast<unsigned long long>(size), by));
            else
                QzError(QzCompose("Could not find %s\nReferenced by %s", part->name.c_str(), by));
            part->flags &= ~PF_BUSY;
            part->flags |= PF_READ | PF_RESOLVED | PF_EMPTY | PF_MISSING;
            return 1;
        }
        part->flags = (part->flags & ~(PF_PRIM_DIR | PF_PARTS_DIR | PF_MISSING)) |
                      QzPlaceFlags(reader.foundPlace);
        part->path = file->Path();
        if (reader.settings.onFileOpened) reader.settings.onFileOpened(*part, file->Path());
        QzReadContext context{reader.model, reader.log, reader.palette, reader.settings.tolerances,
                              (part->flags & PF_TEXTURE_PART) != 0};
        if (!QzReadPartFile(context, *file, part, referencedBy, main)) {
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
        if (QzResolvePart(reader, sub, subMain, part->name.c_str()) == 2) {
            LogChainLink(reader, *part, *line);
            return 2;
        }
    }
    if (part->textured && ResolveTextureGeometry(reader, *part) == 2) return 2;

    QzComputeBounds(part);
    if (QzHasTransparent(part, reader.palette)) {
        part->flags |= PF_TRANSPARENT;
    } else {
        part->flags &= ~PF_TRANSPARENT;
    }
    part->flags &= ~PF_BUSY;
    part->flags |= PF_RESOLVED;
    return 0;
}

// The sections of a main model's file belong to that file's content, which may have
// changed since the last load: they are read again (their records stay, so references
// of cached parts still lead to them). What is not a library part may lead to one of
// them and gets its bounds anew; library parts stay as they were read.
void ForgetMainSections(QzModel& model) {
    bool forgot = false;
    for (int i = 1; i < model.partCount; ++i) {
        QzPart& part = model.parts[i];
        if (!(part.flags & PF_MAIN_SECTION)) continue;
        QzFreeLines(&part);
        QzFreeVertices(part);
        part.flags &= PF_STUD;
        forgot = true;
    }
    if (!forgot) return;
    for (int i = 1; i < model.partCount; ++i) {
        QzPart& part = model.parts[i];
        if (!(part.flags & (PF_PARTS_DIR | PF_PRIM_DIR))) part.flags &= ~PF_RESOLVED;
    }
    for (const auto& part : model.textureParts)
        if (!(part->flags & (PF_PARTS_DIR | PF_PRIM_DIR))) part->flags &= ~PF_RESOLVED;
}

// The bytes of a texture file, at most the size of the largest text file; false when it
// is no regular file, or larger.
bool ReadImageFile(const std::string& path, std::string& bytes) {
    if (!plat::CanOpenForReading(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > plat::kMaxTextFileBytes) return false;
    in.seekg(0, std::ios::beg);
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    in.read(bytes.data(), size);
    return static_cast<bool>(in);
}

// Decodes an image's bytes into a found image (or its reason for not being one).
QzModel::FoundImage Decode(const std::string& name, std::string bytes) {
    QzModel::FoundImage found;
    auto image = std::make_shared<QzImage>();
    if (QzDecodePng(bytes, *image, found.error)) {
        image->name = name;
        image->png = std::move(bytes);
        found.image = std::move(image);
    }
    return found;
}

// The image a texture mapping names: a "!DATA" section of the main model's file, else the
// file in the "textures" folder below the library's "parts" and "p" folders or the
// model's folder (any letter case). Null, after a warning at the mapping's line, when
// none is found or it does not decode.
void FindTexture(QzReader& reader, const QzPart& part, QzTexmap& texmap) {
    QzModel& model = reader.model;
    std::string key = texmap.name;
    QzNormaliseName(key);
    texmap.looked = true;
    texmap.fromData = false;
    texmap.image = nullptr;
    const QzModel::FoundImage* found = nullptr;
    if (auto data = model.dataSections.find(key); data != model.dataSections.end()) {
        texmap.fromData = true;
        auto decoded = model.dataImages.find(key);
        if (decoded == model.dataImages.end()) {
            QzModel::FoundImage image;
            if (data->second.empty()) {
                image.error = "its !DATA section holds no image";
            } else {
                image = Decode(texmap.name, data->second);
            }
            decoded = model.dataImages.emplace(key, std::move(image)).first;
        }
        found = &decoded->second;
    } else if (auto known = model.textures.find(key); known != model.textures.end()) {
        found = &known->second;
    } else {
        const std::optional<std::string>& library =
            reader.ldrawDir.size() <= QZ_MAX_LDRAW_DIR
                ? PlaceFolder(reader.libraryFolder, reader.ldrawDir)
                : std::optional<std::string>();
        const std::optional<std::string>& modelFolder =
            reader.modelDir.empty() ? std::optional<std::string>()
                                    : PlaceFolder(reader.modelFolder, reader.modelDir);
        const struct {
            const std::optional<std::string>* folder;
            const char* below;
        } places[] = {{&library, "Parts\\Textures\\"},
                      {&library, "P\\Textures\\"},
                      {&modelFolder, "Textures\\"}};
        for (const auto& place : places) {
            if (!*place.folder) continue;
            const std::optional<std::string> path =
                plat::ResolvePathBelow(**place.folder, std::string(place.below) + key);
            std::string bytes;
            if (!path || !ReadImageFile(*path, bytes)) continue;
            found =
                &model.textures.emplace(key, Decode(texmap.name, std::move(bytes))).first->second;
            break;
        }
    }
    reader.log.currentFile = part.name;
    reader.log.currentLine = texmap.lineNo;
    reader.log.currentLineText = texmap.lineText;
    if (!found) {
        QzWarn(reader.log, 0, QZ_WARNING, "Texture %s not found", texmap.name.c_str());
    } else if (!found->image) {
        QzWarn(reader.log, 0, QZ_WARNING, "Texture %s not read: %s", texmap.name.c_str(),
               found->error.c_str());
    } else {
        texmap.image = found->image;
    }
}

// Finds the images of every texture mapping not yet looked up, and again those of the
// model's own "!DATA" sections.
void FindTextures(QzReader& reader) {
    QzModel& model = reader.model;
    auto visit = [&](const QzPart& part) {
        if (!part.textured) return;
        for (QzTexmap& texmap : part.textured->texmaps)
            if (!texmap.looked || texmap.fromData) FindTexture(reader, part, texmap);
        // What a reader with textures sees of the part may have changed with them.
        if (part.textured->Settle()) QzFreeDrawData(part);
    };
    for (int i = 0; i < model.partCount; ++i) visit(model.parts[i]);
    for (const auto& part : model.textureParts) visit(*part);
}

}  // namespace

int QzResolvePart(QzReader& reader, QzPart* part, bool main, const char* referencedBy) {
    if (part->flags & PF_BUSY) {
        QzWarn(reader.log, 0, QZ_ASIS, "%s",
               QzCompose("Recursive references: %s", part->name.c_str()).c_str());
        reader.failedDepth = reader.resolveDepth;
        return 2;
    }
    // Every walk over the part tree recurses once per level: a tree deeper than this
    // would exhaust the stack. It fails the load the way a cycle does.
    if (reader.resolveDepth >= QZ_MAX_REFERENCE_DEPTH) {
        QzWarn(reader.log, 0, QZ_ASIS, "%s",
               QzCompose("References nested too deeply: %s", part->name.c_str()).c_str());
        reader.failedDepth = reader.resolveDepth;
        return 2;
    }
    ++reader.resolveDepth;
    int result = ResolveNewlyBusy(reader, part, main, referencedBy);
    --reader.resolveDepth;
    return result;
}

int QzReadModel(QzModel& model, const std::string& path, const QzLoadSettings& settings,
                QzPalette& palette) {
    model.tableFullShown = false;
    std::string ldrawDir = settings.ldrawDir;
    if (ldrawDir.empty()) {
        std::optional<std::string> env = plat::GetEnv("LDRAWDIR");
        if (!env) {
            QzError("LDRAWDIR not set.\nSpecify directory in the Edit menu.");
            return 0;
        }
        ldrawDir = QzStripTrailingSeparators(*env);
    }
    QzReader reader(model, settings, palette, ldrawDir);
    // A load sees the folders as they are when it starts: each folder's listing is
    // checked against the disk once for all the lookups of the load (the next load
    // checks again).
    plat::PathLookupScope oneLookup;

    // The colours of LDConfig.ldr, once per load; without them the scheme falls back
    // to the first.
    if (palette.scheme == QZ_SCHEME_LDCONFIG) {
        if (QzReadPaletteLDConfig(palette, ldrawDir, reader.log)) {
            QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
        } else {
            plat::ShowMessage(
                ldrawDir.empty() ? "Could not read LDConfig.ldr: no LDraw directory is given"
                                 : QzCompose("Could not read LDConfig.ldr in %s", ldrawDir.c_str()),
                plat::MessageKind::Exclamation);
            QzSelectColourScheme(palette, 0);
        }
    }
    // Parts cached under other colour definitions are read again: which colours
    // they keep and which they report was decided by those.
    QzColourDefinitions definitions = QzDefinitionsOf(palette);
    if (model.definitions != definitions) {
        QzFreeAllParts(model);
        model.definitions = std::move(definitions);
    }

    // The lines of the main model's file are read anew: what was kept of them goes.
    model.sections.clear();
    model.writtenNames.clear();
    ForgetMainSections(model);
    // The main model's file is read again, its "!DATA" sections with it.
    model.dataSections.clear();
    model.dataImages.clear();

    size_t cut = path.find_last_of("/\\");
    reader.modelDir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);

    if (model.partCount > 0) {
        QzFreeLines(&model.parts[0]);
        QzFreeVertices(model.parts[0]);
        const std::string previous = std::move(model.parts[0].name);
        model.parts[0] = QzPart{};
        model.parts[0].name = previous;
    } else {
        model.partCount = 1;
    }
    QzPart& main = model.parts[0];
    main.store.arena = model.lineArena.get();
    try {
        QzRenameMain(model, path);
    } catch (const std::bad_alloc&) {
        QzError("Out of memory for model name");
        return 0;
    }
    main.lines = nullptr;

    if (QzAddColour(model, 7) != 0) return 0;

    switch (QzResolvePart(reader, &main, true, nullptr)) {
        case 0:
            FindTextures(reader);
            return 1;
        case 2:
            QzError("Recursion detected. See log, fix problem, try again");
            QzFreeAllParts(model);
            model.lights.clear();
            return 0;
        default:
            return 0;
    }
}

int QzResolveSection(QzModel& model, QzPart& section, const QzLoadSettings& settings,
                     const QzPalette& palette) {
    if (section.flags & PF_RESOLVED) return 0;
    std::string ldrawDir = settings.ldrawDir;
    if (ldrawDir.empty())
        ldrawDir = QzStripTrailingSeparators(plat::GetEnv("LDRAWDIR").value_or(""));
    QzReader reader(model, settings, palette, ldrawDir);
    plat::PathLookupScope oneLookup;
    const std::string& path = model.Main().name;
    const size_t cut = path.find_last_of("/\\");
    reader.modelDir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const int result = QzResolvePart(reader, &section, false, nullptr);
    if (result == 2) {
        // The parts of the cycle stay unresolved, and no longer in progress.
        for (int i = 0; i < model.partCount; ++i) model.parts[i].flags &= ~PF_BUSY;
    }
    return result;
}

int QzLoadModel(QzModel& model, const std::string& path, const QzLoadSettings& settings,
                QzPalette& palette, bool keepCache) {
    if (!keepCache) {
        QzFreeAllParts(model);
        model.lights.clear();
    }
    model.inputLog.clear();
    model.inputDiagnostics.clear();
    model.modelTitle.clear();
    model.modelAuthor.clear();
    const uint32_t start = plat::TickCount();
    const int loaded = QzReadModel(model, path, settings, palette);
    model.loadTimeMs = static_cast<int32_t>(plat::TickCount() - start);
    return loaded;
}
