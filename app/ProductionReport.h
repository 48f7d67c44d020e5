#pragma once
// The report of the window's production log and record server as a page in
// the browser (the console's `report --html`, for the operator).
#include <string>

class QWidget;

namespace otp {

// The page's name in the working folder.
constexpr const char* kReportPageName = "otpwriter-report.html";

// Writes the report of `logPath` and `recordUrl` (either may be empty) to the
// page in `workingDir` and opens it in the browser; a box says what went
// wrong. Returns the page's path, empty when none was written.
std::string OpenProductionReport(QWidget* parent, const std::string& logPath, const std::string& recordUrl,
                                 const std::string& workingDir, bool openInBrowser = true);

}  // namespace otp
