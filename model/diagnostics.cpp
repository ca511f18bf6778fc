#include "diagnostics.h"

#include <algorithm>
#include <cstdarg>

#include "clock.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"

bool QzDebugEnabled = false;

void QzCutText(std::string& text, size_t maxLength) {
    if (text.size() <= maxLength) return;
    auto continuation = [&text](size_t at) {
        return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    size_t cut = maxLength;
    // Never leave half of a UTF-8 sequence at the end: step back over continuation
    // bytes to the start of the character that does not fit. A character has at most
    // three of them; a longer run is not UTF-8 (a Latin-1 line, say) and is cut
    // where the limit falls rather than far before it.
    for (int back = 0; back < 3 && cut > 0 && continuation(cut); ++back) --cut;
    if (continuation(cut)) cut = maxLength;
    text.resize(cut);
}

namespace {

// The room a log takes at its first growth: a model with thousands of warnings fills it
// without being copied each time it doubles (every copy writes to memory not touched
// before, which costs a page fault per page). Memory that no entry reaches is never
// touched and takes no room.
constexpr size_t kLogRoomBytes = size_t{1} << 20;
constexpr size_t kLogRoomEntries = 8192;

}  // namespace

void QzLogContext::Append(std::string text, QzDiagnostic value) {
    QzCutText(text, QZ_WARN_BUFFER - 1);
    const size_t needed = log_.size() + text.size() + 2;
    if (needed > log_.capacity()) log_.reserve(std::max(needed, kLogRoomBytes));
    if (diagnostics_.size() == diagnostics_.capacity() && diagnostics_.size() < kLogRoomEntries)
        diagnostics_.reserve(kLogRoomEntries);
    log_ += text;
    log_ += "\r\n";
    diagnostics_.push_back(std::move(value));
}

void QzWarn(QzLogContext& log, int level, int kind, const char* format, ...) {
    if (level > log.warningLevel) return;
    va_list args;
    va_start(args, format);
    std::string message = plat::VFormat(format, args);
    va_end(args);

    if (kind == QZ_WARNING || kind == QZ_SKIPPING) {
        std::string text = plat::Format(
            "%s \"%s\" Line %u: %s: %s", kind == QZ_WARNING ? "WARNING" : "SKIPPING",
            log.currentFile.c_str(), log.currentLine, message.c_str(), log.currentLineText.c_str());
        log.Append(std::move(text), {kind, log.currentFile, log.currentLine, std::move(message),
                                     log.currentLineText});
    } else {
        std::string text = message;
        log.Append(std::move(text), {QZ_ASIS, {}, 0, std::move(message), {}});
    }
}

void QzLogAt(QzLogContext& log, const QzDiagnostic& value, const std::string& text) {
    log.Append(text, value);
}

std::string QzCompose(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = plat::VFormat(format, args);
    va_end(args);
    QzCutText(text, QZ_MESSAGE_BUFFER - 1);
    return text;
}

void QzError(const std::string& text) { plat::ShowMessage(text, plat::MessageKind::Stop); }

void QzDebugLog(const char* format, ...) {
    if (!QzDebugEnabled) return;
    std::string text =
        plat::Format("%s %9d ", plat::TimeOfDay().c_str(), static_cast<int>(plat::TickCount()));
    va_list args;
    va_start(args, format);
    text += plat::VFormat(format, args);
    va_end(args);
    // A log that cannot be opened is skipped without a word.
    plat::AppendToFile(plat::DebugLogPath(), text);
}
