#pragma once
// The one program-wide record every operation reads and changes. It starts
// zeroed and lives as long as the process.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace otp {

inline constexpr int kReplyCapacity = 8192;
inline constexpr int kRomImageSize = 8192;
inline constexpr int kReadBackSize = 16384;
inline constexpr int kFirmwareImageSize = 16384;
inline constexpr int kOptionByteCount = 32;
inline constexpr int kBodyInfoRows = 65;
inline constexpr int kBodyInfoRowBytes = 32;
inline constexpr int kBodyInfoWireBytes = 16;
inline constexpr int kMaxBodies = 64;
// The longest operation wait a body may give, in 10 ms ticks: 5 minutes.
inline constexpr uint32_t kMaxBodyWaitTicks = 30000;

using BodyInfoRow = std::array<uint8_t, kBodyInfoRowBytes>;

// What the bytes of a body description (a BodyInfoRow) mean.
// Bytes 2 (low) and 3 (high): a checksum the writer keeps of what it holds.
inline constexpr size_t kBodyChecksumByte = 2;
// Byte 4, the body's settings:
inline constexpr size_t kBodyFlagsByte = 4;
inline constexpr uint8_t kFlagByteMode = 0x80;          // values are bytes, else words
inline constexpr uint8_t kFlagLockOn = 0x40;            // the IC is locked after programming
inline constexpr uint8_t kFlagRollingOn = 0x20;         // a rolling code is programmed
inline constexpr uint8_t kFlagBankSearch = 0x08;        // the bank is searched, not chosen
inline constexpr uint8_t kFlagSearchFirstUnused = 0x04; // it finds the first unused bank, else the last used
inline constexpr uint8_t kFlagBankOneByOption = 0x02;   // Bank 1 shown while option byte 0 bit 3 is clear
inline constexpr uint8_t kFlagLockPolarity = 0x01;      // option byte 0 bit 0 holds the lock inverted
// Bytes 5-6, the image length in values, low byte first.
inline constexpr size_t kBodyLengthByte = 5;
// Byte 8, what the body can do:
inline constexpr size_t kBodyCapsByte = 8;
inline constexpr uint8_t kCapLock = 0x80;
inline constexpr uint8_t kCapRolling = 0x40;
inline constexpr uint8_t kCapBanks = 0x20;              // the bank can be chosen
inline constexpr uint8_t kCapRollingAt1F8 = 0x10;       // rolling code at values 0x1F8-0x1FF, else 0x3F8
inline constexpr uint8_t kCapTwoBanks = 0x08;           // 2 banks, else 8
inline constexpr uint8_t kCapMtp = 0x04;                // MTP: no Auto, Blank Check or test code write
inline constexpr uint8_t kCapTestCode = 0x02;
// Byte 13 bits 7-5, the bank; a bank change keeps bits 4-0.
inline constexpr size_t kBodyBankByte = 13;
inline constexpr int kBankShift = 5;
inline constexpr uint8_t kBelowBank = 0x1F;
inline constexpr uint8_t kBankBits = 0xE0;

struct WriterState {
    // Port and reply. The open port itself is held by the link.
    std::string PortName;
    // Why Writer.ini gave no port (no file, one that cannot be read, an empty
    // one, no RS232_PORT line, a name that is no port of the program), as the
    // line that tells the operator what to do; empty when it named one.
    std::string PortProblem;
    bool PortFailed = false;
    std::array<uint8_t, kReplyCapacity + 1> ReplyBuffer{};
    int ReplyLength = 0;

    // Image, read-back and firmware buffers.
    std::array<int32_t, kRomImageSize> RomImage{};
    // The values of RomImage in use: every store keeps it within 0..kRomImageSize.
    int ObjectLength = 0;
    std::array<int32_t, kReadBackSize> ReadBackBuffer{};
    std::array<int32_t, kFirmwareImageSize> FirmwareImage{};
    std::array<uint8_t, kOptionByteCount> OptionBytes{};

    // Body descriptions: row 0 is the writer's, row i + 1 the body with combo index i.
    std::array<BodyInfoRow, kBodyInfoRows> BodyInfo{};
    int BodyCount = 0;
    std::array<int32_t, kMaxBodies> BNK_DLY{};
    std::array<int32_t, kMaxBodies> PRG_DLY{};
    std::array<int32_t, kMaxBodies> VER_DLY{};
    std::array<int32_t, kMaxBodies> CPY_DLY{};
    std::array<int32_t, kMaxBodies> OBJ_DLY{};
    std::array<int32_t, kMaxBodies> OFFSET{};
    // Each body's name as Writer.ini's BODY line gives it, and how many INFO
    // values its lists held (those past the row's 32 bytes counted too); the
    // bytes of a row its lists did not reach are 0.
    std::array<std::string, kMaxBodies> BodyName{};
    std::array<int32_t, kMaxBodies> InfoCount{};

    // Layout mode: 2 digits and 16 per row (ByteMode) or 4 and 8 (WordMode).
    int ValueDigits = 0;
    int RowWidth = 0;

    int OptionChecksum = 0;
    int ObjectChecksum = 0;

    std::string IniPath;
    std::string DriverPath;
    // The production log Writer.ini names (PRODUCTION_LOG), as written there.
    std::string ProductionLogPath;
    // The line's record server Writer.ini names (PRODUCTION_RECORD), a libpq URL.
    std::string ProductionRecordUrl;
    // The writers of this station (STATION_WRITERS COM1,COM2,...), as written
    // there without blanks: what a job opened without --writers runs on.
    std::string StationWriters;
    std::string IniVersion;
    // The version the writer last gave whole (start-up, version query), ""
    // before it has.
    std::string WriterVersion;
};

// The host's copy of an image: body description, option bytes, image,
// layout and sums. A transfer that falls short puts it back, so that the
// state never holds half of the writer's data and half of the old.
struct HeldImage {
    BodyInfoRow body{};
    std::array<uint8_t, kOptionByteCount> options{};
    std::array<int32_t, kRomImageSize> image{};
    int objectLength = 0;
    int valueDigits = 0;
    int rowWidth = 0;
    int optionChecksum = 0;
    int objectChecksum = 0;

    static HeldImage Of(const WriterState& s);
    void RestoreInto(WriterState& s) const;
};

// OptionChecksum = sum of OptionBytes 0..n-1, modulo 0x10000.
void OptionChecksum(WriterState& s, int n);
// ObjectChecksum = sum of RomImage 0..n-1, modulo 0x10000 after every addition.
void ObjectChecksum(WriterState& s, int n);
// (ObjectChecksum + OptionChecksum) mod 0x10000.
int TotalChecksum(const WriterState& s);

// ByteMode when BodyInfo row 0 byte 4 bit 7 is set.
bool IsByteMode(const BodyInfoRow& row);
// ValueDigits and RowWidth from BodyInfo row 0 byte 4 bit 7.
void SetLayoutFromBodyInfo(WriterState& s);
// ValueDigits and RowWidth for the given mode.
void SetLayout(WriterState& s, bool byteMode);

// BodyInfo row 0 takes the 16 bytes of the configured body with combo index
// `body` (row body + 1); an index outside the table changes nothing.
void TakeBodyRow(WriterState& s, int body);

// Bytes 5-6 of a BodyInfo row, low byte first.
int BodyObjectLength(const BodyInfoRow& row);
// Whether two descriptions lay the writer's memory out alike: the same
// layout (byte 4 bit 7) and length (bytes 5-6).
bool SameImageShape(const BodyInfoRow& a, const BodyInfoRow& b);
// One operation wait of a configured body: its Writer.ini key and its ticks.
struct BodyWait {
    const char* key;
    int32_t ticks;
};
// The operation waits of the configured body with combo index `body`
// (0 <= body < kMaxBodies): BNK_DLY, PRG_DLY, VER_DLY, CPY_DLY.
std::array<BodyWait, 4> BodyWaits(const WriterState& s, int body);
// A wait the operations may sleep: 0 to kMaxBodyWaitTicks. The number reader
// has no sign and wraps, so a wait read as negative is one above 2^31.
bool WaitAllowed(int32_t ticks);
// Whether the configured body with combo index `body` can be sent to the
// writer: its row gives an image length, and each of its operation waits is
// allowed. A row of length 0 (an INFO list that stops before bytes 5-6, or
// zeros there) would have the writer check, program and compare nothing; a
// wait of days would hold the window with nothing said.
bool BodyAvailable(const WriterState& s, int body);
// The image values BodyInfo row 0 describes, kept inside RomImage: its
// BodyObjectLength, at most kRomImageSize.
int BodyImageCount(const WriterState& s);

// The bank of byte 13 bits 7-5; SetBodyBank changes those bits only.
int BodyBank(const BodyInfoRow& row);
void SetBodyBank(BodyInfoRow& row, int bank);

}  // namespace otp
