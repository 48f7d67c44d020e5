#include "romfile/RomFormat.h"

#include <string_view>

#include "config/IniText.h"
#include "view/HexText.h"

namespace otp {
namespace {

constexpr std::string_view kDataEndMark = "CHECKSUM";

// Takes the value into RomImage when its position is inside it.
void StoreValue(WriterState& s, int64_t position, int32_t value, DataSection& section) {
    if (position >= 0 && position < kRomImageSize) {
        s.RomImage[static_cast<size_t>(position)] = value;
        ++section.stored;
    } else {
        ++section.ignored;
    }
}

// first + k on 32 bits, wrapping; only the low digits are ever written.
int32_t Offset(int32_t first, int k) {
    return static_cast<int32_t>(static_cast<uint32_t>(first) + static_cast<uint32_t>(k));
}

// The first word after the end mark, when it holds hex digits.
std::optional<int32_t> SumAfterMark(std::string_view rest) {
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view word = rest.substr(start, rest.find(' ', start) - start);
    if (word.find_first_of("0123456789abcdefABCDEF") == std::string_view::npos) return std::nullopt;
    return ParseNumber(word, 16);
}

}  // namespace

DataSection ParseDataLines(TextLines& in, int32_t firstAddress, WriterState& s) {
    DataSection section;
    while (auto piece = in.Next()) {
        const std::string_view line = *piece;
        const size_t mark = line.find(kDataEndMark);
        if (mark != std::string_view::npos) {
            section.closed = true;
            section.checksum = SumAfterMark(line.substr(mark + kDataEndMark.size()));
            break;
        }
        const size_t n = line.size();
        // The row address always starts in the first column; a line that
        // begins with a blank has an empty address, 0.
        size_t p = 0;
        while (p < n && line[p] != ' ') ++p;
        int64_t position = static_cast<int64_t>(ParseNumber(line.substr(0, p), 16)) - firstAddress;
        for (;;) {
            while (p < n && line[p] == ' ') ++p;
            if (p >= n) break;
            const size_t start = p;
            while (p < n && line[p] != ' ') ++p;
            const std::string_view token = line.substr(start, p - start);
            // The line feed after a trailing blank is the line end, not a value.
            if (token == "\n") break;
            StoreValue(s, position, ParseNumber(token, 16), section);
            ++position;
        }
    }
    return section;
}

void TakeOptionBytes(const std::string& valueField, WriterState& s) {
    for (int i = 0; i < 16; ++i) {
        s.OptionBytes[static_cast<size_t>(i)] = 0;
        s.ReadBackBuffer[static_cast<size_t>(i)] = 0;
    }
    for (size_t i = 0; i < 8; ++i) {
        const std::string pair = 2 * i < valueField.size() ? valueField.substr(2 * i, 2) : std::string();
        s.OptionBytes[i] = static_cast<uint8_t>(ParseNumber(pair, 16) & 0xFF);
        s.ReadBackBuffer[i] = s.OptionBytes[i];
    }
}

std::optional<std::string> FindRomBody(TextLines& in) {
    while (auto line = in.Next()) {
        const IniFields f = SplitIniLine(*line, 0xFF);
        if (f.KeyField == "BODY") return f.ValueField;
    }
    return std::nullopt;
}

bool ReadRomSections(TextLines& in, WriterState& s, RomSectionEvents& events) {
    // A file without STARTADR gives its values from address 0 on.
    int32_t firstAddress = 0;
    while (auto line = in.Next()) {
        const IniFields f = SplitIniLine(*line, 0xFF);
        if (f.KeyField == "MORVIK_BYTE") {
            TakeOptionBytes(f.ValueField, s);
            OptionChecksum(s, 16);
            events.OptionBytesTaken();
        } else if (f.KeyField == "MORVIK_SUM") {
            events.OptionSumRead(ParseNumber(f.ValueField, 16));
        } else if (f.KeyField == "STARTADR") {
            firstAddress = ParseNumber(f.ValueField, 16);
        } else if (f.KeyField == "LENGTH") {
            const int32_t length = ParseNumber(f.ValueField, 10);
            if (length < 0 || length > kMaxRomLength) {
                events.LengthRefused(length);
                return false;
            }
            s.ObjectLength = length;
            if (f.ThirdField == "BYTE") SetLayout(s, true);
            else if (f.ThirdField == "WORD") SetLayout(s, false);
            const DataSection section = ParseDataLines(in, firstAddress, s);
            events.SectionRead(firstAddress, section);
        }
    }
    return true;
}

bool MarkedAddressForm(const WriterState& s) { return (s.OptionBytes[0] & 0x18) == 0x10; }

std::string FormatRomFile(const WriterState& s, const std::string& bodyName, int32_t firstAddress,
                          const std::string& optionBlock) {
    const bool byteMode = s.ValueDigits != 4;
    const int digits = byteMode ? 2 : 4;
    const int rowWidth = byteMode ? 16 : 8;
    const std::string separator = byteMode ? " " : "  ";
    const int length = s.ObjectLength;
    const bool marked = MarkedAddressForm(s);

    std::string out = optionBlock;
    out += "MORVIK_BYTE ";
    for (size_t i = 0; i < 8; ++i) out += FormatHex(s.OptionBytes[i], 2);
    out += "\n";
    out += "MORVIK_SUM " + FormatHex(s.OptionChecksum, 4) + "\n";
    out += "MORVIK_TOTAL " + FormatHex((s.ObjectChecksum + s.OptionChecksum) & 0xFFFF, 4) + "\n";
    out += "ROM START\n";
    out += "BANK 0\n";
    out += "STARTADR " + FormatHex(firstAddress, 4) + "\n";
    out += "ENDADR " + FormatHex(Offset(firstAddress, length - 1), 4) + "\n";
    out += (bodyName == "RX4400" ? "LENGTH 0" : "LENGTH ") + std::to_string(length) +
           (byteMode ? " BYTE" : " WORD") + "\n";
    for (int row = 0; row * rowWidth < length; ++row) {
        if (marked) out += "@";
        AppendHex(out, Offset(firstAddress, row * rowWidth), 4);
        out += "  ";
        for (int i = row * rowWidth; i < length && i < (row + 1) * rowWidth; ++i) {
            AppendHex(out, s.RomImage[static_cast<size_t>(i)], digits);
            out += separator;
        }
        out += "\n";
    }
    out += "CHECKSUM " + FormatHex(s.ObjectChecksum, 4);
    if (!marked) {
        out += "\nBANK 0 END\nROM END\n";
        if (bodyName != "RX4720" && bodyName != "RX4935")
            out += "Board SW Version 0001\nBoard HW Version 0301\nBoard Xilinx Version 0205\n";
    }
    return out;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace otp
