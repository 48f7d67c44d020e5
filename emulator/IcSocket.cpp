#include "emulator/IcSocket.h"

#include <algorithm>

namespace otp::emu {
namespace {

struct KindName {
    IcKind kind;
    const char* name;
};

constexpr KindName kKindNames[] = {
    {IcKind::None, "none"},          {IcKind::Blank, "blank"},
    {IcKind::Programmed, "programmed"}, {IcKind::Locked, "locked"},
    {IcKind::WrongBody, "wrong-body"}, {IcKind::Fault, "fault"},
};

}  // namespace

const char* IcKindName(IcKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind) return k.name;
    return "none";
}

std::optional<uint16_t> ParseRollingCode(const std::string& text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    return static_cast<uint16_t>(std::stoul(text, nullptr, 16));
}

std::optional<IcKind> ParseIcKind(const std::string& text) {
    for (const KindName& k : kKindNames)
        if (text == k.name) return k.kind;
    return std::nullopt;
}

Ic::Ic() : testCode(4, 0xFF) {
    for (auto& bank : banks) bank.assign(kBankBytes, 0xFF);
    options.fill(0xFF);
}

bool Ic::BankBlank(int bank, size_t bytes) const {
    const std::vector<uint8_t>& cells = banks[static_cast<size_t>(bank)];
    bytes = std::min(bytes, cells.size());
    return std::all_of(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(bytes),
                       [](uint8_t c) { return c == 0xFF; });
}

void Ic::ProgramCell(int bank, size_t index, uint8_t value) {
    std::vector<uint8_t>& cells = banks[static_cast<size_t>(bank)];
    if (index < cells.size()) cells[index] &= value;
}

std::vector<uint8_t> BodyTestCode(uint8_t bodyCode) {
    return {bodyCode, 0x7E, static_cast<uint8_t>(bodyCode ^ 0xFF), 0x81};
}

std::array<uint16_t, IcSocket::kRollingWords> IcSocket::TakeRollingCode() {
    std::array<uint16_t, kRollingWords> words{};
    for (int k = 0; k < kRollingWords; ++k) words[static_cast<size_t>(k)] = static_cast<uint16_t>(rollingNext_ + k);
    rollingNext_ = static_cast<uint16_t>(rollingNext_ + kRollingWords);
    return words;
}

}  // namespace otp::emu
