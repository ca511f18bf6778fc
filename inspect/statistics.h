// The statistics report: a plain-text summary of the loaded model and of the last
// drawing, for the text report window or the command line.
#pragma once

#include <array>
#include <string>

class QzRenderState;

namespace inspect {

// Caption of the window that shows the report.
inline constexpr const char* kStatisticsCaption = "Zarvel Statistics";

// The report's body text for the current model, the last load and drawing and the
// view's orientation (the 16 values of its view matrix, row-major). Every line ends
// with "\r\n" and columns are separated by tabs. Lines grow as needed: long titles,
// authors and part names are never cut.
std::string StatisticsText(const std::array<float, 16>& view);
// The same for the orientation of a view's render state.
std::string StatisticsText(const QzRenderState& state);

}  // namespace inspect
