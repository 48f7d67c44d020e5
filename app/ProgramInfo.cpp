#include "app/ProgramInfo.h"

#include "version/ProgramVersion.h"

namespace otp {

QString ProgramName() { return QStringLiteral("otpwriter"); }

QString ProgramVersion() { return QString::fromLatin1(kProgramVersion); }

// The same date the three programs' --version gives.
QString ProgramBuildTime() { return QString::fromLatin1(kBuildDate); }

QIcon ProgramIcon() {
    // Rendered from icons/otpwriter.svg; the platform's Qt may lack the
    // plug-in that draws SVG, so the sizes are pictures of their own.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/otpwriter-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace otp
