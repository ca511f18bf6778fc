#include "loadmodel.h"

#include <ostream>

#include "clock.h"
#include "diagnostics.h"
#include "files.h"
#include "loader.h"
#include "measurements.h"
#include "model.h"

namespace cli {

plat::MessageAnswer StreamMessageBox::Show(const std::string& text, plat::MessageKind kind) {
    ++count;
    out_ << plat::kAppTitle << ": " << text << '\n';
    return kind == plat::MessageKind::Question ? plat::MessageAnswer::No : plat::MessageAnswer::Ok;
}

std::string ResolveLdrawDir(const std::string& option) {
    if (!option.empty()) return option;
    std::optional<std::string> env = plat::GetEnv("LDRAWDIR");
    if (!env) return {};
    return QzStripTrailingSeparators(*env);
}

LoadResult LoadModelForCli(const std::string& ldraw, const std::string& model, bool keepCache,
                           std::ostream& err) {
    LoadResult result;
    QzLDrawDir = ResolveLdrawDir(ldraw);

    StreamMessageBox box(err);
    plat::ScopedMessageBoxHandler scoped(&box);
    if (!keepCache) {
        QzFreeAllParts();
        QzFreeLights();
    }
    QzClearInputLog();
    uint32_t start = plat::TickCount();
    result.loaded = QzReadModel(model) != 0;
    loadTimeMs = static_cast<int32_t>(plat::TickCount() - start);

    result.boxes = box.count;
    return result;
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
    err << PlainLines(QzInputLog);
    if (!load.loaded) err << "zarvel-cli: could not load " << model << "\n";
    return load.loaded;
}

}  // namespace cli
