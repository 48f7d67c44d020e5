#include "bench/TextTable.h"

#include <algorithm>
#include <cstdio>

namespace otp::bench {

std::string Format(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

void PrintAligned(std::ostream& out, const std::vector<std::vector<std::string>>& cells, size_t leftColumns) {
    std::vector<size_t> width;
    for (const auto& line : cells) {
        width.resize(std::max(width.size(), line.size()), 0);
        for (size_t c = 0; c < line.size(); ++c) width[c] = std::max(width[c], line[c].size());
    }
    for (const auto& line : cells) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            const std::string pad(width[c] - line[c].size(), ' ');
            const bool left = c < leftColumns || c + 1 == line.size();
            text += (c == 0 ? "" : "  ") + (left ? line[c] + pad : pad + line[c]);
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << '\n';
    }
}

}  // namespace otp::bench
