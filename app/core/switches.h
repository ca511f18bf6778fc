// The desktop program's command line: a model to open, "-p" to load and end, and the
// switches each part of the program looks for itself ("-PollSilent", "-NoCache", "-v4",
// "-a1,0,0,0,1,0,0,0,1"). Each argument is looked at by itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QzRenderState;

// Whether an argument is a switch. On this platform only "-" starts one: every
// absolute path starts with "/", and a file handed over by a file manager must open.
bool QzIsSwitch(std::string_view arg);

// The standard decimal conversion: leading white space, an optional sign, digits up to
// the first other character; no digits give 0. Values beyond the integer range stop at
// its ends.
int QzStandardToInt(std::string_view text);

// What the command line asks the program to do after start-up.
struct QzCommandLineInfo {
    enum Command { FileNew, FileOpen, FilePrint, FilePrintTo };
    Command command = FileNew;
    // The first argument that is not a switch.
    std::string fileName;
};
QzCommandLineInfo QzParseCommandLine(const std::vector<std::string>& args);

// The outer window size the "v" switches ask for (numbers 0 to 6); nothing for none.
std::optional<std::pair<int, int>> QzFrameSizeSwitch(const std::vector<std::string>& args);

// Hands the rest of every "a" switch to SetViewMatrix; a later valid one wins.
void QzApplyViewSwitches(const std::vector<std::string>& args, QzRenderState& state);
