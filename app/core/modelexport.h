// File > Export... of the desktop program without a window: the filters its save dialog
// offers, the file written for the name chosen, and the export of the model as the view
// shows it (export/exportfile.h does the work).
#pragma once

#include <string>
#include <vector>

#include "colours.h"
#include "model.h"

// The dialog's filters, one per format in the formats' order ("glTF binary (*.glb)").
std::vector<std::string> QzExportFilters();

// The file to write for the name chosen under filter number `filter`: the name as it is
// when its extension names a format, else with the filter's extension added.
std::string QzExportPath(const std::string& chosen, int filter);

// The file name to show when filter number `filter` is chosen: the name with that
// filter's extension in place of a format's extension (added when it has none).
std::string QzExportNameForFilter(const std::string& name, int filter);

// Exports the model as the view shows it: the file shown (the main model or the submodel
// chosen, `shown`), as far as the building step shown (the whole of it at the last
// step), in the palette's colours, the colours named by the library's
// LDConfig.ldr. Empty when the file was written; otherwise the text of the box that says
// why not (the file as it was).
std::string QzExportShownModel(const std::string& path, const QzModel& model,
                               const QzPalette& palette, const QzPart& shown, int step,
                               const std::string& ldrawDir);
