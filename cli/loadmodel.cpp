#include "loadmodel.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "colours.h"
#include "diagnostics.h"
#include "doccore.h"
#include "ldrawdir.h"
#include "loader.h"
#include "usage.h"

namespace cli {

plat::MessageAnswer StreamMessageBox::Show(const std::string& text, plat::MessageKind kind) {
    ++count;
    out_ << plat::kAppTitle << ": " << text << '\n';
    return kind == plat::MessageKind::Question ? plat::MessageAnswer::No : plat::MessageAnswer::Ok;
}

std::string ResolveLdrawDir(const std::string& option) {
    if (!option.empty()) return option;
    return QzLDrawDirFromEnvironment().value_or(std::string());
}

namespace {

// The command line has no views, no log window and no polling: each command prints
// what the load logged itself.
class CommandDocumentHost : public QzDocumentHost {
  public:
    void ShowInputLog() override {}
    void UpdateAllViews(int) override {}
    uint32_t StartTimer(int) override { return 0; }
    void StopTimer(uint32_t) override {}
};

}  // namespace

LoadResult LoadModelForCli(const std::string& ldraw, const std::string& model, bool keepCache,
                           std::ostream& err) {
    LoadResult result;
    QzLDrawDir = ResolveLdrawDir(ldraw);
    if (!QzLDrawDir.empty() && !plat::IsDirectory(QzLDrawDir)) {
        err << UsageError("LDraw library folder not found: " + QzLDrawDir);
        result.libraryNotFound = true;
        return result;
    }
    const bool noLibrary = QzLDrawDir.empty();

    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    CommandDocumentHost host;
    QzDocument document(host);
    document.cacheSubfiles = keepCache;
    document.watchesFile = false;
    result.loaded = document.LoadModel(model) != 0;
    result.boxes = box.count;
    // The loader's box speaks of the desktop program's menu.
    if (noLibrary && !result.loaded)
        err << "zarvel-cli: give the library folder with --ldraw DIR or set LDRAWDIR\n";
    return result;
}

void AddSchemeOption(CLI::App* command, int& scheme) {
    command
        ->add_option("--scheme", scheme,
                     "Colour scheme 0, 1 or 2, or 3: the colours of LDConfig.ldr in the LDraw "
                     "directory (default 0)")
        ->check(CLI::Range(0, QZ_SCHEME_COUNT - 1));
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

bool LoadModelForCommand(const std::string& ldraw, const std::string& model, std::ostream& err) {
    const LoadResult load = LoadModelForCli(ldraw, model, false, err);
    if (load.libraryNotFound) return false;
    err << PlainLines(QzInputLog);
    if (!load.loaded) err << "zarvel-cli: could not load " << model << "\n";
    return load.loaded;
}

}  // namespace cli
