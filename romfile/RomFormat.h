#pragma once
// The .rom text format: the reader pieces Load ROM File is built from, and
// the writer of a whole file from the state.
//
// A file, as written: the option text copied from Writer.ini (it carries the
// BODY line), MORVIK_BYTE / MORVIK_SUM / MORVIK_TOTAL, "ROM START", "BANK 0",
// STARTADR, ENDADR, LENGTH, the data lines, "CHECKSUM xxxx", and (unless the
// data lines carry "@" addresses) "BANK 0 END", "ROM END" and the Board lines.
#include <cstdint>
#include <optional>
#include <string>

#include "config/TextLines.h"
#include "config/WriterState.h"

namespace otp {

// What one data section left behind.
struct DataSection {
    int stored = 0;   // values put into RomImage
    int ignored = 0;  // values whose position lies outside RomImage
    bool closed = false;                // a CHECKSUM line ended it, not the end of the file
    std::optional<int32_t> checksum;    // the sum that line gives, if it gives one
};

// Reads the data lines that follow a LENGTH line, up to and including the
// first line holding "CHECKSUM" (or the end of the file). Each line starts
// with its row address; every further blank-separated token is one value,
// stored at RomImage[address - firstAddress + k]. Values whose position lies
// outside RomImage are counted, not stored.
DataSection ParseDataLines(TextLines& in, int32_t firstAddress, WriterState& s);

// The ValueField of a MORVIK_BYTE line: OptionBytes 0-15 are cleared, then
// bytes 0-7 are taken from the digit pairs (a missing pair gives 0). The
// same 16 values go to ReadBackBuffer 0-15, for the option dump.
void TakeOptionBytes(const std::string& valueField, WriterState& s);

// Header lines up to the first one whose key is BODY; its body name, or
// nothing when the file ends first.
std::optional<std::string> FindRomBody(TextLines& in);

// The events of the rest of the file, after its BODY line.
class RomSectionEvents {
public:
    virtual ~RomSectionEvents() = default;
    // A MORVIK_BYTE line has been taken; OptionChecksum covers 16 bytes.
    virtual void OptionBytesTaken() {}
    // A LENGTH section has been read into RomImage; ObjectLength and the
    // layout are set.
    virtual void SectionRead(int32_t firstAddress, const DataSection& section) {
        (void)firstAddress;
        (void)section;
    }
    // A MORVIK_SUM line: the sum of option bytes 0-7 the file claims.
    virtual void OptionSumRead(int32_t sum) { (void)sum; }
    // A LENGTH value outside 0 .. kRomImageSize; the reading stops there
    // and the state keeps what it held.
    virtual void LengthRefused(int32_t length) { (void)length; }
};

// The largest LENGTH a file may give: the values RomImage holds.
inline constexpr int kMaxRomLength = kRomImageSize;

// Reads the rest of the file: MORVIK_BYTE, STARTADR and LENGTH lines, each
// LENGTH with its data section. Before any STARTADR the first address is 0.
// Returns false when a LENGTH was refused.
bool ReadRomSections(TextLines& in, WriterState& s, RomSectionEvents& events);

// --- writing -------------------------------------------------------------

// True when option byte 0 asks for "@" before every row address (bit 4 set,
// bit 3 clear); such a file ends right after the CHECKSUM digits.
bool MarkedAddressForm(const WriterState& s);

// The whole file with "\n" line ends: optionBlock, then the option bytes,
// sums, addresses, LENGTH, data rows and trailer from the state
// (OptionBytes, ObjectLength, ValueDigits, RowWidth, RomImage and the two
// checksums, all as the caller has set them). A last row shorter than
// RowWidth is written with the values it has.
std::string FormatRomFile(const WriterState& s, const std::string& bodyName, int32_t firstAddress,
                          const std::string& optionBlock);

// Every "\n" becomes CR LF, as the file is stored on disk.
std::string WithCrLf(const std::string& text);

}  // namespace otp
