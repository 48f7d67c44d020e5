#pragma once
// The two text routines every reader of Writer.ini and of .rom files rests on.
#include <cstdint>
#include <string>
#include <string_view>

namespace otp {

// Flag bits of SplitIniLine.
enum : uint8_t {
    kCutSlashComment = 0x80,  // keep only what stands before the first "//"
    kCutSemicolon = 0x40,     // then only what stands before the first ";"
    kTrimLeading = 0x20,      // drop leading characters of code 0x20 or less
    kTrimTrailing = 0x10,     // drop trailing characters of code 0x20 or less
    kUpperKey = 0x08,
    kUpperValue = 0x04,
    kUpperThird = 0x02,
    kUpperFourth = 0x01,
};

// The fields of one split line: key, value, third word, and the rest.
struct IniFields {
    std::string KeyField;
    std::string ValueField;
    std::string ThirdField;
    std::string FourthField;
    int Count = 0;
};

// Cuts a line into up to four fields. Only the blank (0x20) separates words.
IniFields SplitIniLine(std::string_view line, uint8_t flags);

// Text to number: a leading "%", "&" or "$" selects base 2, 8 or 16; every
// character that is not a digit of the base is skipped; 32-bit wrap-around.
int32_t ParseNumber(std::string_view text, int base);

// Upper-cases the ASCII letters; other bytes stay as they are, so UTF-8
// names pass through intact.
std::string UpperCase(std::string text);

}  // namespace otp
