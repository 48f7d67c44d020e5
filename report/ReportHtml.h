#pragma once
// The report as one HTML page that needs nothing else: its style inline,
// its charts inline SVG (yield per hour, chips per writer, failures by
// cause), no script.
#include <string>

#include "report/ReportFigures.h"
#include "report/ReportHeading.h"

namespace otp {

std::string ReportHtml(const Figures& f, const ReportHeading& heading);

}  // namespace otp
