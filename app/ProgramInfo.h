#pragma once
// What the program says of itself: its name and version, when it was built,
// and its icon.
#include <QIcon>
#include <QString>

namespace otp {

// "otpwriter".
QString ProgramName();
// The project's version, "2.0".
QString ProgramVersion();
// When the running program file was written by the build, local time
// "yyyy-MM-dd HH:mm"; "" when the file cannot be found.
QString ProgramBuildTime();
// The window icon at every size it is drawn at (16 to 256 pixels).
QIcon ProgramIcon();

}  // namespace otp
