#pragma once
// Text as UTF-8, for whatever leaves the program where an encoding is named
// (the record server's text columns). The program's text is 8-bit bytes
// from Writer.ini and .rom files in no known encoding, which the window
// shows as Latin-1; one rule turns it into UTF-8 everywhere.
#include <string>

namespace otp {

// `text` as UTF-8: text that is valid UTF-8 already is kept as it is; any
// other is taken as Latin-1, each byte the character of its code point.
std::string TextAsUtf8(const std::string& text);

// Whether `text` is valid UTF-8: no stray or missing continuation byte, no
// overlong form, no surrogate, nothing beyond U+10FFFF.
bool IsUtf8(const std::string& text);

}  // namespace otp
