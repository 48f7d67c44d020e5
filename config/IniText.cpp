#include "config/IniText.h"

namespace otp {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string TrimLeading(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsBlankOrControl(s[i])) ++i;
    return s.substr(i);
}

std::string TrimTrailing(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && IsBlankOrControl(s[n - 1])) --n;
    return s.substr(0, n);
}

std::string CutAt(const std::string& s, const char* mark) {
    const size_t at = s.find(mark);
    return at == std::string::npos ? s : s.substr(0, at);
}

}  // namespace

std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

IniFields SplitIniLine(const std::string& input, uint8_t flags) {
    std::string line = input;
    if (flags & kCutSlashComment) line = CutAt(line, "//");
    if (flags & kCutSemicolon) line = CutAt(line, ";");
    if (flags & kTrimLeading) line = TrimLeading(line);
    if (flags & kTrimTrailing) line = TrimTrailing(line);

    IniFields f;
    const size_t n = line.size();
    size_t p = 0;
    size_t s = 0;
    auto skipSpaces = [&] { while (p < n && line[p] == ' ') ++p; };
    auto skipWord = [&] { while (p < n && line[p] != ' ') ++p; };

    skipSpaces();
    skipWord();
    if (s < p) {
        f.KeyField = line.substr(s, p - s);
        s = p;
        f.Count = 1;
    }
    std::string* words[] = {&f.ValueField, &f.ThirdField};
    for (int w = 0; w < 2; ++w) {
        const size_t before = p;
        skipSpaces();
        skipWord();
        if (p != before) {
            *words[w] = line.substr(s, p - s);
            s = p;
            f.Count = 2 + w;
        }
    }
    const size_t before = p;
    skipSpaces();
    if (p != before) {
        f.FourthField = line.substr(s);
        f.Count = 4;
    }

    if (flags & kUpperKey) f.KeyField = UpperCase(f.KeyField);
    if (flags & kUpperValue) f.ValueField = UpperCase(f.ValueField);
    if (flags & kUpperThird) f.ThirdField = UpperCase(f.ThirdField);
    if (flags & kUpperFourth) f.FourthField = UpperCase(f.FourthField);
    f.KeyField = TrimLeading(f.KeyField);
    f.ValueField = TrimLeading(f.ValueField);
    f.ThirdField = TrimLeading(f.ThirdField);
    f.FourthField = TrimLeading(f.FourthField);
    return f;
}

int32_t ParseNumber(const std::string& text, int base) {
    size_t i = 0;
    if (!text.empty()) {
        switch (text[0]) {
            case '%': base = 2; i = 1; break;
            case '&': base = 8; i = 1; break;
            case '$': base = 16; i = 1; break;
            default: break;
        }
    }
    uint32_t result = 0;  // unsigned so that the wrap-around is defined
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0 || base < 2 || base > 16 || digit >= base) continue;
        result = result * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(result);
}

}  // namespace otp
