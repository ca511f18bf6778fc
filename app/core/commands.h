// The program's commands in one table: identifier, menu text, status-bar prompt (a
// second line after "\n" is the tooltip), and for the commands that only change the
// view's drawing state, what they do and when they are ticked. Menus, toolbar, status
// prompts and the command line's drawing switches are all built from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class QzRenderState;

struct QzCommand {
    int id;
    // As the menu shows it: "&" marks the access key, "\t" starts the shortcut. Null for
    // a toolbar-only command.
    const char* menuText;
    // Null when the command has none.
    const char* prompt;
    // The change of the view's state, without the redraw that follows every command.
    // Null for the commands the program handles itself (files, dialogs, the frame) and
    // for those that never do anything.
    void (*apply)(QzRenderState& state);
    // Null: the command is never ticked (or the program knows when it is).
    bool (*checked)(const QzRenderState& state);
    // The drawing switch the command stands for on the command line, or null.
    const char* option;
    // -1: the command turns the switch over; 0 or 1: it sets the switch to that.
    int8_t optionSets;
};

// Every command, in no particular order.
extern const QzCommand QzCommands[];
extern const int QzCommandCount;

// The entry of an identifier; null for an unknown one.
const QzCommand* QzFindCommand(int id);
// The status-bar prompt as shown (the debug-log path filled in); empty for none.
std::string QzCommandPrompt(const QzCommand& command);
// The first line of the prompt, and the tooltip (the second line, else empty).
std::string QzPromptStatusTip(const QzCommand& command);
std::string QzPromptToolTip(const QzCommand& command);

// Whether a command stands for the drawing switch of that command-line name.
bool QzIsOption(std::string_view name);
// Sets a drawing switch by its command-line name as the view's commands do, side
// effects included (Seams also switches the line types, Random Colors assigns new
// colours). False when no command stands for the name.
bool QzSetOption(QzRenderState& state, std::string_view name, bool on);
