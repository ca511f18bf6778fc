// The three report channels: the input log (problems tied to a file and a line),
// error boxes (conditions that stop an operation) and the debug trace file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Kinds of input-log messages.
inline constexpr int QZ_ASIS = 0;
inline constexpr int QZ_WARNING = 1;
inline constexpr int QZ_SKIPPING = 2;

// Longest composed message (terminator included) and longest log entry.
inline constexpr size_t QZ_MESSAGE_BUFFER = 400;
inline constexpr size_t QZ_WARN_BUFFER = 2000;
// Title and author: 400 characters including the terminator.
inline constexpr size_t QZ_TITLE_BUFFER = 400;

// One entry of the input log as a value, recorded beside its text: what the log
// window and the editors' line format are built on, without reading the text back.
struct QzDiagnostic {
    int kind = QZ_ASIS;    // QZ_ASIS, QZ_WARNING or QZ_SKIPPING
    std::string file;      // the part being read; empty for entries tied to no file
    uint32_t lineNo = 0;   // line in that file; 0 for entries tied to no line
    std::string message;   // for an entry as is, its whole text
    std::string lineText;  // the line as read, without trailing blanks and line ends
};

// Where the reader reports while it reads: the input log and its entries of the model
// being read, the warning level, and the place being read, which WARNING and SKIPPING
// entries name. Each load has its own.
class QzLogContext {
  public:
    QzLogContext(std::string& log, std::vector<QzDiagnostic>& diagnostics, int warningLevel = 0)
        : warningLevel(warningLevel), log_(log), diagnostics_(diagnostics) {}

    // Appends an entry's text and "\r\n" to the log (cut to its longest length) and
    // its value to the entries.
    void Append(std::string text, QzDiagnostic value);

    int warningLevel;
    std::string currentFile;
    uint32_t currentLine = 0;
    std::string currentLineText;

  private:
    std::string& log_;
    std::vector<QzDiagnostic>& diagnostics_;
};

// The debug trace: off until the Logging command switches it on. One switch for the
// program.
extern bool QzDebugEnabled;

// Appends "message" (as is) or "WARNING|SKIPPING \"file\" Line n: message: line text"
// and "\r\n" to the input log when level <= the log's warning level. The message is a
// printf format.
void QzWarn(QzLogContext& log, int level, int kind, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// Appends an entry whose text the caller composed as is, while its value ties it to a
// place (the end of a file, say).
void QzLogAt(QzLogContext& log, const QzDiagnostic& value, const std::string& text);
// Composes a message into the 400-character working buffer (cut, never overrun).
std::string QzCompose(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shortens text to at most maxLength bytes without splitting a UTF-8 character.
void QzCutText(std::string& text, size_t maxLength);
// Modal error box with the stop icon.
void QzError(const std::string& text);
// Appends "hh:mm:ss tick " and the text to the debug log file when enabled.
void QzDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
