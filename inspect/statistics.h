// The statistics report: a plain-text summary of the loaded model and of the last
// drawing, for the text report window or the command line.
#pragma once

#include <array>
#include <string>

#include "measurements.h"
#include "model.h"

namespace inspect {

// Caption of the window that shows the report.
inline constexpr const char* kStatisticsCaption = "Zarvel Statistics";

// The report's body text for a model, its load and the last drawing's measurements,
// and the view's orientation (the 16 values of its view matrix, row-major). Every line
// ends with "\r\n" and columns are separated by tabs. Lines grow as needed: long
// titles, authors and part names are never cut.
std::string StatisticsText(const QzModel& model, const QzDrawStatistics& drawing,
                           const std::array<float, 16>& view);
// The same for one file of the model shown as if it were the main model (a submodel): its
// title, author and box.
std::string StatisticsText(const QzModel& model, const QzPart& shown,
                           const QzDrawStatistics& drawing, const std::array<float, 16>& view);

}  // namespace inspect
