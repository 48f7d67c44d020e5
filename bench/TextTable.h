#pragma once
// The benchmark's tables as columns of text.
#include <ostream>
#include <string>
#include <vector>

namespace otp::bench {

// `value` printed by `format` (one printf conversion of a double).
std::string Format(const char* format, double value);

// Prints `cells` as columns two spaces apart: the first `leftColumns` and the
// last left-aligned (names and a note), the others right-aligned (figures).
void PrintAligned(std::ostream& out, const std::vector<std::vector<std::string>>& cells, size_t leftColumns = 2);

}  // namespace otp::bench
