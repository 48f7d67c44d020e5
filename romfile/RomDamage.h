#pragma once
// A look at the rest of a .rom file before any of it is taken: whether its
// data section is there, whole, and agrees with the sums the file gives.
#include <string>

#include "config/TextLines.h"
#include "config/WriterState.h"

namespace otp {

// Reads `rest` (the file after its BODY line) into a copy of `s` and tells
// what is wrong: empty for a sound file, else the findings joined by "; ".
// A file without a data section, a data section that the end of the file
// cuts off before its CHECKSUM line, and a CHECKSUM or MORVIK_SUM that differs
// from what the file holds are damage. `s` itself is not changed.
std::string RomFileDamage(TextLines rest, const WriterState& s);

// The largest LENGTH of the data sections in `rest`; 0 when there are none.
int RomFileLargestLength(TextLines rest, const WriterState& s);

}  // namespace otp
