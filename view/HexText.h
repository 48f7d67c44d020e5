#pragma once
// Hexadecimal text: the one place that formats numbers in hex, and the dumps
// that write arrays of the writer state as rows of values.
#include <cstdint>
#include <string>

#include "view/MainView.h"

namespace otp {

// Exactly `digits` upper-case hex digits of the low-order part of value,
// zero-padded; digits <= 0 gives an empty text.
std::string FormatHex(int32_t value, int digits);
// The same digits appended to `text`.
void AppendHex(std::string& text, int32_t value, int digits);
// Each byte as two lower-case hex digits, in order: checksums and digests
// ("cbf43926", a SHA-256's 64 digits).
std::string LowerHexBytes(const std::string& bytes);

// Appends rows "AAAA: vv vv ... " to the pane chosen by paneSelector (0 upper,
// anything else lower). The entry shown at row position i is values[i]; a
// buffer indexed by writer address passes values + start. A count of 0 or less
// appends one empty line.
void DumpValues(MainView& view, const int32_t* values, int count, int perRow, int digits,
                int start, int paneSelector);

}  // namespace otp
