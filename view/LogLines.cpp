#include "view/LogLines.h"

#include "view/HexText.h"

namespace otp {

std::string ReplyLengthLine(int count) { return "Receiver Data Length = " + std::to_string(count) + " bytes"; }

std::string MismatchLine(int position, int expected, int got, int digits) {
    return FormatHex(position, 4) + "--" + FormatHex(expected, digits) + " " + FormatHex(got, digits);
}

std::string ShortReadLine(const std::string& what, int received, int requested) {
    return "  -----> " + what + " error: " + std::to_string(received) + " of " + std::to_string(requested) +
           " bytes received !!!";
}

std::string OptionChecksumLine(int sum) { return "Option Checksum =" + FormatHex(sum, 4); }

std::string ObjectChecksumLine(int sum) { return "Object Checksum =" + FormatHex(sum, 4); }

}  // namespace otp
