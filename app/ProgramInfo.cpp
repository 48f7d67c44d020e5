#include "app/ProgramInfo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

// The build hands the project's version to this library.
#ifndef OTP_VERSION
#error "OTP_VERSION (the project's version) is not defined for app/"
#endif

namespace otp {

QString ProgramName() { return QStringLiteral("otpwriter"); }

QString ProgramVersion() { return QStringLiteral(OTP_VERSION); }

QString ProgramBuildTime() {
    // The program file's own time: a time stamp compiled into one source
    // file would tell when that file was last compiled, not when the
    // program was linked from it.
    const QFileInfo program(QCoreApplication::applicationFilePath());
    if (!program.exists()) return {};
    return program.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QIcon ProgramIcon() {
    // Rendered from icons/otpwriter.svg; the platform's Qt may lack the
    // plug-in that draws SVG, so the sizes are pictures of their own.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/otpwriter-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace otp
