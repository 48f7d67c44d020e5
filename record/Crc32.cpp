#include "record/Crc32.h"

#include <array>

#include "view/HexText.h"

namespace otp {
namespace {

std::array<uint32_t, 256> Table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

}  // namespace

uint32_t Crc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> table = Table();
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string Crc32Hex(const std::string& bytes) {
    const uint32_t crc = Crc32(bytes);
    std::string big(4, '\0');
    for (int i = 0; i < 4; ++i) big[i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
    return LowerHexBytes(big);
}

}  // namespace otp
