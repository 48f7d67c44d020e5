#pragma once
// The report as text tables for a terminal or a file.
#include <ostream>

#include "report/ReportFigures.h"
#include "report/ReportHeading.h"

namespace otp {

void WriteReportText(const Figures& f, const ReportHeading& heading, std::ostream& out);

}  // namespace otp
