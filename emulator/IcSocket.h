#pragma once
// The writer's IC socket and the IC sitting in it.
//
// An IC holds eight banks of program memory (a body without a bank choice
// uses bank 0 only), 16 option bytes, a lock, a test code and the body it
// is made for. Every cell is one-time programmable: programming can only
// clear bits, so a blank cell reads 0xFF and writing v into a cell leaves
// (cell AND v). The socket also keeps the writer's rolling-code counter,
// which hands out eight new words for every IC programmed with rolling code.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace otp::emu {

// What a person can put into the socket.
enum class IcKind {
    None,        // the socket is empty
    Blank,       // a new IC of no fixed body
    Programmed,  // bank 0 programmed with a master pattern, not locked
    Locked,      // as Programmed, and locked
    WrongBody,   // an IC made for a body the writer is not set for
    Fault,       // an IC the writer cannot reach: bent pin or jumpers set for another package
};

// "none", "blank", "programmed", "locked", "wrong-body", "fault".
const char* IcKindName(IcKind kind);
// Those names, separated by "|".
inline constexpr const char* kIcKindList = "none|blank|programmed|locked|wrong-body|fault";
// The kind named by `text`, or nothing for any other text.
std::optional<IcKind> ParseIcKind(const std::string& text);
// The next rolling code as a person writes it: 1 to 4 hex digits ("0100").
std::optional<uint16_t> ParseRollingCode(const std::string& text);

struct Ic {
    static constexpr int kBanks = 8;
    // A bank holds what fits between 0x8000 and 0xBF80 of the writer's memory.
    static constexpr size_t kBankBytes = 0x3F80;
    static constexpr size_t kOptionBytes = 16;

    Ic();  // blank, no fixed body

    // Program memory, as the writer's image holds it: one byte per value in
    // ByteMode, two (low first) in WordMode.
    std::array<std::vector<uint8_t>, kBanks> banks;
    std::array<uint8_t, kOptionBytes> options{};
    uint8_t usedBanks = 0;  // bit b: bank b has been programmed
    bool locked = false;
    bool contactFault = false;
    // The body code (BodyInfo byte 1) the IC is made for. A blank IC has
    // none until it is first programmed or gets its test code; an IC
    // without one fits every body.
    std::optional<uint8_t> bodyCode;
    // The body description the IC was programmed under; a copy hands it to
    // the writer.
    std::array<uint8_t, 16> bodyInfo{};
    // The test code, low byte of each word first; a blank one is all 0xFF.
    std::vector<uint8_t> testCode;

    // Whether the first `bytes` cells of the bank are all 0xFF.
    bool BankBlank(int bank, size_t bytes) const;
    // The cell at `index` of the bank takes (cell AND value).
    void ProgramCell(int bank, size_t index, uint8_t value);
};

// The test code of the body with the given body code: two words,
// 0x7E00 | code and 0x8100 | (code XOR 0xFF), low byte first.
std::vector<uint8_t> BodyTestCode(uint8_t bodyCode);

class IcSocket {
public:
    static constexpr int kRollingWords = 8;
    static constexpr uint16_t kFirstRollingCode = 0x0100;

    bool Empty() const { return !ic_.has_value(); }
    Ic* Held() { return ic_ ? &*ic_ : nullptr; }
    const Ic* Held() const { return ic_ ? &*ic_ : nullptr; }
    void Insert(const Ic& ic) { ic_ = ic; }
    void Remove() { ic_.reset(); }

    // The eight rolling-code words for the IC being programmed: the counter
    // and the seven values after it; the counter then moves on by eight.
    std::array<uint16_t, kRollingWords> TakeRollingCode();
    uint16_t NextRollingCode() const { return rollingNext_; }
    void SetNextRollingCode(uint16_t next) { rollingNext_ = next; }

private:
    std::optional<Ic> ic_;
    uint16_t rollingNext_ = kFirstRollingCode;
};

}  // namespace otp::emu
