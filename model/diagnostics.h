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

extern std::string QzInputLog;
// The entries of QzInputLog as values, in the same order.
extern std::vector<QzDiagnostic> QzInputDiagnostics;
extern int QzWarningLevel;
extern std::string QzCurrentFile;
extern uint32_t QzCurrentLine;
extern std::string QzCurrentLineText;
extern std::string QzModelTitle;
extern std::string QzModelAuthor;
extern bool QzDebugEnabled;

// Appends "message" (as is) or "WARNING|SKIPPING \"file\" Line n: message: line text"
// and "\r\n" to the input log when level <= QzWarningLevel. The message is a printf
// format.
void QzWarn(int level, int kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Appends an entry whose text the caller composed as is, while its value ties it to a
// place (the end of a file, say).
void QzLogAt(const QzDiagnostic& value, const std::string& text);
// Composes a message into the 400-character working buffer (cut, never overrun).
std::string QzCompose(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shortens text to at most maxLength bytes without splitting a UTF-8 character.
void QzCutText(std::string& text, size_t maxLength);
// Modal error box with the stop icon.
void QzError(const std::string& text);
void QzClearInputLog();
// Appends "hh:mm:ss tick " and the text to the debug log file when enabled.
void QzDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Back to start-up state: empty log and texts, level 0, debug off; for tests.
void QzResetDiagnostics();
