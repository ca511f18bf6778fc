#include "diagnostics.h"

#include <cstdarg>

#include "clock.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"

// ---- Program-wide state of the three channels ----
std::string QzInputLog;
std::vector<QzDiagnostic> QzInputDiagnostics;
int QzWarningLevel = 0;
std::string QzCurrentFile;
uint32_t QzCurrentLine = 0;
std::string QzCurrentLineText;
std::string QzModelTitle;
std::string QzModelAuthor;
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

void AppendEntry(std::string entry) {
    QzCutText(entry, QZ_WARN_BUFFER - 1);
    QzInputLog += entry;
    QzInputLog += "\r\n";
}

}  // namespace

void QzWarn(int level, int kind, const char* format, ...) {
    if (level > QzWarningLevel) return;
    va_list args;
    va_start(args, format);
    std::string message = plat::VFormat(format, args);
    va_end(args);

    if (kind == QZ_WARNING || kind == QZ_SKIPPING) {
        AppendEntry(plat::Format("%s \"%s\" Line %u: %s: %s",
                                 kind == QZ_WARNING ? "WARNING" : "SKIPPING", QzCurrentFile.c_str(),
                                 QzCurrentLine, message.c_str(), QzCurrentLineText.c_str()));
        QzInputDiagnostics.push_back(
            {kind, QzCurrentFile, QzCurrentLine, std::move(message), QzCurrentLineText});
    } else {
        AppendEntry(message);
        QzInputDiagnostics.push_back({QZ_ASIS, {}, 0, std::move(message), {}});
    }
}

void QzLogAt(const QzDiagnostic& value, const std::string& text) {
    AppendEntry(text);
    QzInputDiagnostics.push_back(value);
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

void QzClearInputLog() {
    QzInputLog.clear();
    QzInputDiagnostics.clear();
    QzModelTitle.clear();
    QzModelAuthor.clear();
}

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

void QzResetDiagnostics() {
    QzInputLog.clear();
    QzInputLog.shrink_to_fit();
    std::vector<QzDiagnostic>().swap(QzInputDiagnostics);
    QzWarningLevel = 0;
    QzCurrentFile.clear();
    QzCurrentLine = 0;
    QzCurrentLineText.clear();
    QzModelTitle.clear();
    QzModelAuthor.clear();
    QzDebugEnabled = false;
}
