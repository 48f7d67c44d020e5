#pragma once
// The bytes of a block-read request as the host puts them on the line.
#include <cstdint>
#include <vector>

namespace otp::test {

inline std::vector<uint8_t> BlockReadRequest(int addr, int length, uint8_t area = 1) {
    return {0x57, area, static_cast<uint8_t>(addr & 0xFF), static_cast<uint8_t>((addr >> 8) & 0xFF),
            static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>((length >> 8) & 0xFF), 0x00, 0x00};
}

}  // namespace otp::test
