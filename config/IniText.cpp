#include "config/IniText.h"

#include <algorithm>
#include <utility>

namespace otp {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Per byte: its upper-case form, and its value as a digit (0-35 for
// 0-9 and the letters, 36 for anything else). Tables, so that the readers'
// loops over every character stay free of comparisons.
struct CharTables {
    constexpr CharTables() : upper(), digit() {
        for (int c = 0; c < 256; ++c) {
            upper[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            digit[c] = static_cast<uint8_t>(c >= '0' && c <= '9'   ? c - '0'
                                            : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                            : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                                                   : 36);
        }
    }
    char upper[256];
    uint8_t digit[256];
};
constexpr CharTables kChars;

std::string_view TrimLeading(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlankOrControl(s[i])) ++i;
    return s.substr(i);
}

std::string_view TrimTrailing(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsBlankOrControl(s[n - 1])) --n;
    return s.substr(0, n);
}

std::string_view CutAt(std::string_view s, std::string_view mark) { return s.substr(0, s.find(mark)); }

// A field as it is kept: upper-cased when asked, its leading blanks and
// control characters dropped.
void TakeField(std::string& field, std::string_view text, bool upper) {
    field.assign(TrimLeading(text));
    if (upper) field = UpperCase(std::move(field));
}

}  // namespace

std::string UpperCase(std::string text) {
    for (char& c : text) c = kChars.upper[static_cast<unsigned char>(c)];
    return text;
}

IniFields SplitIniLine(std::string_view line, uint8_t flags) {
    if (flags & kCutSlashComment) line = CutAt(line, "//");
    if (flags & kCutSemicolon) line = CutAt(line, ";");
    if (flags & kTrimLeading) line = TrimLeading(line);
    if (flags & kTrimTrailing) line = TrimTrailing(line);

    // Each field runs from the end of the one before: a word keeps the
    // blanks before it until the fields are trimmed.
    IniFields f;
    const size_t n = line.size();
    size_t p = 0;
    size_t s = 0;
    auto skipSpaces = [&] {
        p = line.find_first_not_of(' ', p);
        if (p == std::string_view::npos) p = n;
    };
    auto skipWord = [&] { p = std::min(line.find(' ', p), n); };

    skipSpaces();
    skipWord();
    if (s < p) {
        TakeField(f.KeyField, line.substr(s, p - s), flags & kUpperKey);
        s = p;
        f.Count = 1;
    }
    std::string* words[] = {&f.ValueField, &f.ThirdField};
    const bool upper[] = {(flags & kUpperValue) != 0, (flags & kUpperThird) != 0};
    for (int w = 0; w < 2; ++w) {
        const size_t before = p;
        skipSpaces();
        skipWord();
        if (p != before) {
            TakeField(*words[w], line.substr(s, p - s), upper[w]);
            s = p;
            f.Count = 2 + w;
        }
    }
    const size_t before = p;
    skipSpaces();
    if (p != before) {
        TakeField(f.FourthField, line.substr(s), flags & kUpperFourth);
        f.Count = 4;
    }
    return f;
}

int32_t ParseNumber(std::string_view text, int base) {
    size_t i = 0;
    if (!text.empty()) {
        switch (text[0]) {
            case '%': base = 2; i = 1; break;
            case '&': base = 8; i = 1; break;
            case '$': base = 16; i = 1; break;
            default: break;
        }
    }
    if (base < 2 || base > 16) return 0;
    uint32_t result = 0;  // unsigned so that the wrap-around is defined
    for (; i < text.size(); ++i) {
        const int digit = kChars.digit[static_cast<unsigned char>(text[i])];
        if (digit >= base) continue;
        result = result * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(result);
}

}  // namespace otp
