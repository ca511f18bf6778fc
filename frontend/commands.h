// The program's commands in one table, indexed by QzCmd: each row holds the command's
// fixed number, its menu text, shortcut, status-bar prompt and tooltip, what it does,
// whether it is ticked, and the drawing switch it stands for on the command line.
// Menus, toolbar, shortcuts, status prompts and the command line's drawing switches are
// all built from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commandids.h"

class QzModel;
class QzRenderState;

// What the commands act on: the view's drawing state and the loaded model, which every
// program that draws has, and the actions only the desktop program has (its files,
// windows and dialogs), which do nothing where there are none.
class QzCommandTarget {
  public:
    virtual ~QzCommandTarget() = default;
    virtual QzRenderState& State() = 0;
    virtual QzModel& Model() = 0;

    // The desktop program's actions.
    virtual void OpenFile() {}
    virtual void SetPollMode(QzCmd /*mode*/) {}
    virtual void Reload() {}
    virtual void ToggleCacheSubfiles() {}
    virtual void RegisterFileTypes(bool /*dat*/, bool /*mpd*/) {}
    virtual void WritePovFile() {}
    virtual void ExportModel() {}
    virtual void SavePicture() {}
    virtual void WriteInstructions() {}
    // Shows the main model (an empty name) or the submodel of that name, from its last
    // step (View > Submodel and the toolbar's list).
    virtual void ShowSubmodel(const std::string& /*name*/) {}
    virtual void Exit() {}
    virtual void SetLDrawDir() {}
    virtual void ToggleToolbar() {}
    virtual void ToggleStatusBar() {}
    virtual void ShowTreeView() {}
    virtual void ShowPartsList() {}
    virtual void ShowZoom() {}
    virtual void ShowStatistics() {}
    virtual void ToggleAutoZoom() {}
    virtual void LoadBackgroundImage() {}
    virtual void OpenZarvelPage() {}
    virtual void OpenTolpixPage() {}
    virtual void ShowAbout() {}
    // Keeps the drawing mode ("High Quality" on or off) for the next start.
    virtual void RememberHighQuality(bool /*on*/) {}

    // The desktop program's ticks.
    virtual QzCmd PollMode() const { return QzCmd::PollAsk; }
    virtual bool CachesSubfiles() const { return false; }
    virtual bool AutoZoom() const { return false; }
    virtual bool ToolbarShown() const { return false; }
    virtual bool StatusBarShown() const { return false; }
};

// What running a command changes, and so what follows it.
enum class QzCommandKind : uint8_t {
    // A drawing switch, the view or the colours: the view draws (or reads) again.
    Drawing,
    // Anything else: the program does what follows itself.
    Program,
};

struct QzCommand {
    QzCmd cmd;
    // The fixed number of the command.
    int id;
    // As the menu shows it, "&" marking the access key; null for a toolbar-only command.
    const char* menuText;
    // As the menu shows it after the text ("Ctrl+O"); null when there is none.
    const char* shortcut;
    // The status-bar prompt (may hold a "%s" for the debug log's path, see
    // QzCommandStatusTip) and the tooltip; null when there is none.
    const char* statusTip;
    const char* toolTip;
    QzCommandKind kind;
    // What the command does; null for a command that does nothing (it is disabled).
    void (*run)(QzCommandTarget& target);
    // Whether it is ticked; null for a command that is never ticked.
    bool (*checked)(QzCommandTarget& target);
    // The drawing switch the command stands for on the command line, or null.
    const char* option;
    // -1: the command turns the switch over; 0 or 1: it sets the switch to that.
    int8_t optionSets;
};

// The row of a command.
const QzCommand& QzCommandOf(QzCmd cmd);
// The command of a number; null for an unknown one.
const QzCommand* QzFindCommand(int id);
// The status-bar prompt as shown (the debug-log path filled in); empty for none.
std::string QzCommandStatusTip(const QzCommand& command);
// The tooltip; empty for none.
std::string QzCommandToolTip(const QzCommand& command);
// The menu text with the shortcut after a tab, as a menu shows both.
std::string QzCommandMenuText(const QzCommand& command);
// Whether a command does anything (the menu enables it).
inline bool QzCommandEnabled(const QzCommand& command) { return command.run != nullptr; }

// The building step a view shows and the number of steps of the model: the view's
// step 0 (and any beyond the count) is the last step. Both 0 when no model is loaded.
struct QzStepPosition {
    int step = 0;
    int count = 0;
};
QzStepPosition QzShownStep(const QzRenderState& state, const QzModel& model);
// Makes the view show a step of the model: 1 to the count, the last one as the whole
// model (step 0). Numbers outside are taken as the nearest step.
void QzShowStep(QzRenderState& state, const QzModel& model, int step);

// The files a view can show, as View > Submodel lists them: the main model (an empty
// name) and every submodel of the loaded model in file order, each with its menu text;
// none when no model is loaded.
struct QzSubmodelChoice {
    std::string name;
    std::string text;
};
std::vector<QzSubmodelChoice> QzSubmodelChoices(const QzModel& model);
// The choice the view shows: 0 for the main model (also when the submodel it names is
// not in the model).
int QzShownChoice(const QzRenderState& state, const QzModel& model);

// Whether a command stands for the drawing switch of that command-line name.
bool QzIsOption(std::string_view name);
// The command-line names of the drawing switches, each once, in the table's order.
std::vector<std::string> QzOptionNames();
// Sets a drawing switch by its command-line name as the view's commands do, side
// effects included (Seams also switches the line types, Random Colors assigns new
// colours to the model's lines). False when no command stands for the name.
bool QzSetOption(QzRenderState& state, QzModel& model, std::string_view name, bool on);
