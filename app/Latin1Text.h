#pragma once
// Text between the core's std::string and the widgets' QString. The core's
// text is 8-bit (Writer.ini, .rom files) in no known encoding; Latin-1 maps
// each byte 0x00-0xFF to one character and back, so a body name, a pane
// line or a field comes back from a widget with the bytes it went in with.
// File paths are not text: they go through QFile::encodeName/decodeName.
#include <QByteArray>
#include <QString>

#include <string>

namespace otp {

inline QString ToQ(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A character beyond Latin-1 (typed by the operator) becomes "?".
inline std::string FromQ(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace otp
