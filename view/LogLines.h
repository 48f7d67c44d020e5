#pragma once
// The line shapes the operations share in the log panes.
#include <string>

namespace otp {

// "Receiver Data Length = " + count + " bytes".
std::string ReplyLengthLine(int count);

// A read-back difference: position in 4 hex digits, "--", the value sent and
// the value read back, both in `digits` hex digits.
std::string MismatchLine(int position, int expected, int got, int digits);

// "  -----> WHAT error: N of M bytes received !!!": a read from the writer
// that fell short (or brought more than asked).
std::string ShortReadLine(const std::string& what, int received, int requested);

// "Option Checksum =" and "Object Checksum =" with the sum in 4 hex digits,
// no blank after the equals sign.
std::string OptionChecksumLine(int sum);
std::string ObjectChecksumLine(int sum);

}  // namespace otp
