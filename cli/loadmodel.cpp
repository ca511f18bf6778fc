#include "loadmodel.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "colours.h"
#include "commands.h"
#include "diagnostics.h"
#include "drawlist.h"
#include "files.h"
#include "inventory.h"
#include "ldrawdir.h"
#include "loader.h"
#include "numbers.h"
#include "sections.h"
#include "usage.h"
#include "viewcore.h"

namespace cli {

plat::MessageAnswer StreamMessageBox::Show(const std::string& text, plat::MessageKind kind) {
    ++count;
    out_ << plat::kAppTitle << ": " << text << '\n';
    return kind == plat::MessageKind::Question ? plat::MessageAnswer::No : plat::MessageAnswer::Ok;
}

std::string ResolveLdrawDir(const std::string& option) {
    if (!option.empty()) return option;
    const std::string found = QzLDrawDirFromEnvironment().value_or(std::string());
    return found.empty() ? QzSystemLDrawDir() : found;
}

LoadResult LoadModelForCli(QzModel& model, QzPalette& palette, const std::string& ldraw,
                           const std::string& path, bool keepCache, std::ostream& err,
                           std::function<void(const QzPart&, const std::string&)> onFileOpened,
                           const char* libraryHint) {
    LoadResult result;
    QzLoadSettings settings;
    settings.ldrawDir = ResolveLdrawDir(ldraw);
    settings.onFileOpened = std::move(onFileOpened);
    if (!settings.ldrawDir.empty() && !plat::IsDirectory(settings.ldrawDir)) {
        err << UsageError("LDraw library folder not found: " + settings.ldrawDir);
        result.libraryNotFound = true;
        return result;
    }
    const bool noLibrary = settings.ldrawDir.empty();

    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    result.loaded = QzLoadModel(model, path, settings, palette, keepCache) != 0;
    result.boxes = box.count;
    // The loader's box speaks of the desktop program's menu.
    if (noLibrary && !result.loaded) err << libraryHint;
    return result;
}

void AddLdrawOption(CLI::App& command, std::string& ldraw) {
    command.add_option("--ldraw", ldraw,
                       "LDraw library folder (default: $LDRAWDIR, else BaseDirectory in "
                       "ldraw.ini, else /usr/share/ldraw)");
}

void AddSchemeOption(CLI::App& command, int& scheme, const char* byDefault) {
    command
        .add_option("--scheme", scheme,
                    std::string("Colour scheme 0, 1 or 2, or 3: the colours of LDConfig.ldr in "
                                "the LDraw library (") +
                        byDefault + ")")
        ->transform(Decimal(0, QZ_SCHEME_COUNT - 1));
}

int ListScheme(int scheme, const std::string& ldrawDir) {
    if (scheme >= 0) return scheme;
    if (!ldrawDir.empty() && plat::CanOpenForReading(ldrawDir + "/LDConfig.ldr"))
        return QZ_SCHEME_LDCONFIG;
    return 0;
}

void AddViewOption(CLI::App& command, int& view) {
    std::string help = "Standard view (default 0):";
    for (int n = 0; n <= 14; ++n)
        help += std::string(n == 0 ? " " : ", ") + std::to_string(n) + " " +
                QzCommandToolTip(QzCommandOf(QzViewCommand(n)));
    command.add_option("--view", view, help)->transform(Decimal(0, 14));
}

void AddQualityOption(CLI::App& command, std::string& quality) {
    command
        .add_option("--quality", quality,
                    "How the picture is drawn: normal (default), the drawing of the view; high, "
                    "the view's High Quality: anti-aliased, lit, with blended transparency, "
                    "slower")
        ->check(CLI::IsMember({"normal", "high"}));
}

std::string PlainLines(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    return plain;
}

bool LoadModelForCommand(QzModel& model, QzPalette& palette, const std::string& ldraw,
                         const std::string& path, std::ostream& err, int* boxes) {
    const LoadResult load = LoadModelForCli(model, palette, ldraw, path, false, err);
    if (boxes) *boxes = load.boxes;
    if (load.libraryNotFound) return false;
    err << PlainLines(model.inputLog);
    if (!load.loaded) err << "zarvel-cli: could not load " << path << "\n";
    return load.loaded;
}

bool DrawnWhole(const QzViewCore& view, std::ostream& err) {
    if (!view.Statistics().incomplete) return true;
    err << "zarvel-cli: " << QzTooManyPlacementsText() << "\n";
    return false;
}

void AddSubmodelOption(CLI::App& command, std::string& submodel) {
    command.add_option("--submodel", submodel,
                       "Work on this submodel (an MPD section, letter case ignored) as if it were "
                       "the model file's main model");
}

std::string UnknownSubmodelText(const QzModel& model, const std::string& name) {
    // Names from the command line and the file as a terminal may show them.
    const std::string asked = inspect::PrintableText(name);
    const std::vector<const QzModelSection*> submodels = QzSubmodels(model);
    if (submodels.empty()) return "--submodel " + asked + ": the model has no submodels";
    std::string text = "--submodel " + asked + ": no submodel of that name; the submodels are ";
    for (size_t i = 0; i < submodels.size() && i < kSubmodelNamesListed; ++i)
        text += (i == 0 ? "" : ", ") + inspect::PrintableText(submodels[i]->name);
    if (submodels.size() > kSubmodelNamesListed)
        text += " and " + std::to_string(submodels.size() - kSubmodelNamesListed) + " more";
    return text;
}

const QzPart* ChooseSubmodel(QzModel& model, const QzPalette& palette, const std::string& ldraw,
                             const std::string& name, std::ostream& err) {
    if (!model.Loaded()) return nullptr;
    if (name.empty()) return &model.Main();
    QzPart* part = QzFindSubmodel(model, name);
    if (!part) {
        err << UsageError(UnknownSubmodelText(model, name));
        return nullptr;
    }
    if (part->flags & PF_RESOLVED) return part;
    // A submodel the main model does not place has not been read through yet.
    QzLoadSettings settings;
    settings.ldrawDir = ResolveLdrawDir(ldraw);
    const size_t logged = model.inputLog.size();
    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    const int resolved = QzResolveSection(model, *part, settings, palette);
    err << PlainLines(model.inputLog.substr(logged));
    if (resolved == 2) {
        err << "zarvel-cli: could not load submodel " << name << "\n";
        return nullptr;
    }
    return part;
}

const QzPart* LoadFileForCommand(QzModel& model, QzPalette& palette, const std::string& ldraw,
                                 const std::string& path, const std::string& submodel,
                                 std::ostream& err, int* boxes) {
    if (!LoadModelForCommand(model, palette, ldraw, path, err, boxes)) return nullptr;
    return ChooseSubmodel(model, palette, ldraw, submodel, err);
}

}  // namespace cli
