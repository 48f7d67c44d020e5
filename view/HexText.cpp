#include "view/HexText.h"

namespace otp {

void AppendHex(std::string& text, int32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    // Work on the unsigned bit pattern so that every value yields digits.
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = digits - 1; i >= 0; --i) text += kDigits[i < 8 ? (v >> (4 * i)) & 0xF : 0];
}

std::string LowerHexBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

std::string FormatHex(int32_t value, int digits) {
    std::string text;
    AppendHex(text, value, digits);
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
            line.clear();
            AppendHex(line, start + i, 4);
            line += ": ";
        }
        AppendHex(line, values[i], digits);
        line += ' ';
    }
    view.AppendLine(pane, line);
}

}  // namespace otp
