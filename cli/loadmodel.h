// Loading a model for a command: LDraw directory from --ldraw, LDRAWDIR or ldraw.ini,
// then the load sequence of the model layer, with the boxes it shows written to the
// error stream.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "colours.h"
#include "messagebox.h"
#include "model.h"

class QzViewCore;

namespace CLI {
class App;
}

namespace cli {

// Writes each message box as "Zarvel: ", its text and a newline to a stream, and
// counts them.
class StreamMessageBox : public plat::MessageBoxHandler {
  public:
    explicit StreamMessageBox(std::ostream& out) : out_(out) {}
    plat::MessageAnswer Show(const std::string& text, plat::MessageKind kind) override;
    int count = 0;

  private:
    std::ostream& out_;
};

struct LoadResult {
    bool loaded = false;
    // Error boxes shown during the load (their texts went to the error stream).
    int boxes = 0;
    // The library folder given does not exist (or is no folder): a usage error,
    // reported on the error stream; nothing was loaded.
    bool libraryNotFound = false;
};

// The LDraw directory: the option when given, else LDRAWDIR with its trailing "/" and
// "\" removed, else the BaseDirectory of ldraw.ini, else /usr/share/ldraw when it holds
// a library, else empty.
std::string ResolveLdrawDir(const std::string& option);

// How to give the library folder to a command that takes --ldraw.
inline constexpr const char* kLdrawHint =
    "zarvel-cli: give the library folder with --ldraw DIR or set LDRAWDIR\n";

// Loads a model (path as typed) into `model` under the palette. keepCache false empties
// the part table first. Error boxes shown meanwhile go to err (StreamMessageBox);
// without any library folder, `libraryHint` (how to give one) follows the loader's box.
// onFileOpened, when given, is told of every file the load opens.
LoadResult LoadModelForCli(QzModel& model, QzPalette& palette, const std::string& ldraw,
                           const std::string& path, bool keepCache, std::ostream& err,
                           std::function<void(const QzPart&, const std::string&)> onFileOpened = {},
                           const char* libraryHint = kLdrawHint);

// --ldraw DIR, the library folder, of every command that loads a model.
void AddLdrawOption(CLI::App& command, std::string& ldraw);

// The --scheme option of the commands that load a model: colour schemes 0 to 3, 3 being
// the colours of LDConfig.ldr. It must be selected before the load, which decides
// which colours are defined.
// `byDefault` says what the command does without it.
void AddSchemeOption(CLI::App& command, int& scheme, const char* byDefault = "default 0");
// For the commands that list what a model holds (parts, steps), whose --scheme is -1 when
// not given: the colours the list names them by, those of the library's LDConfig.ldr
// (scheme 3) where it has one, else scheme 0. A given scheme is kept.
inline constexpr const char* kListSchemeDefault =
    "default 3 where the library has LDConfig.ldr, else 0";
int ListScheme(int scheme, const std::string& ldrawDir);
// --view N, the standard view a drawing is made in (its help names the fifteen).
void AddViewOption(CLI::App& command, int& view);
// --quality normal|high: how a drawing is made (the desktop's "High Quality").
void AddQualityOption(CLI::App& command, std::string& quality);

// A log's or report's "\r\n" line ends as plain newlines.
std::string PlainLines(const std::string& text);

// Loads a model for a command that works on one model: the input log written to err
// as the desktop program's log window would show it, and "could not load" added when
// the load failed. Returns whether the model loaded.
// Whether the last drawing of the view was made whole; else the message why not goes to
// err (a model that places more than a drawing can hold) and the command writes
// nothing.
bool DrawnWhole(const QzViewCore& view, std::ostream& err);

// `boxes`, when given, is told how many error boxes the load showed.
bool LoadModelForCommand(QzModel& model, QzPalette& palette, const std::string& ldraw,
                         const std::string& path, std::ostream& err, int* boxes = nullptr);

// --submodel NAME of the commands that show, count or list one file of a model: the
// submodel they take as if it were the file's main model.
void AddSubmodelOption(CLI::App& command, std::string& submodel);

// The file of a loaded model a command works on: the main model when `name` is empty,
// else the submodel of that name (sections.h), resolved first when the model does not
// place it (what that logs goes to err, as a load's log does). Null when the model file
// has no submodel of that name (a usage error listing the first 20 names goes to err:
// status 2) or it could not be resolved (a message: status 2).
const QzPart* ChooseSubmodel(QzModel& model, const QzPalette& palette, const std::string& ldraw,
                             const std::string& name, std::ostream& err);

// LoadModelForCommand, then ChooseSubmodel: the file to work on, null (after the
// messages) when the command is to end with status 2.
const QzPart* LoadFileForCommand(QzModel& model, QzPalette& palette, const std::string& ldraw,
                                 const std::string& path, const std::string& submodel,
                                 std::ostream& err, int* boxes = nullptr);

// The submodel names a usage error lists: at most this many.
inline constexpr size_t kSubmodelNamesListed = 20;
// "no submodel X in the model; its submodels are a, b, c" (and how many more), or "the
// model has no submodels".
std::string UnknownSubmodelText(const QzModel& model, const std::string& name);

}  // namespace cli
