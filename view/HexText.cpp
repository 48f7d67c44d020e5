#include "view/HexText.h"

namespace otp {

std::string FormatHex(int32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (digits <= 0) return {};
    // Work on the unsigned bit pattern so that every value yields digits.
    uint32_t v = static_cast<uint32_t>(value);
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[v % 16];
        v /= 16;
    }
    return text;
}

void DumpValues(MainView& view, const int32_t* values, int count, int perRow, int digits,
                int start, int paneSelector) {
    const Control pane = PaneFor(paneSelector);
    if (perRow < 1) perRow = 1;
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (i % perRow == 0) {
            if (i > 0) view.AppendLine(pane, line);
            line = FormatHex(start + i, 4) + ": ";
        }
        line += FormatHex(values[i], digits);
        line += ' ';
    }
    view.AppendLine(pane, line);
}

}  // namespace otp
