#pragma once
// CRC-32 as Ethernet, zip and PNG compute it (IEEE 802.3, reflected,
// polynomial 0xEDB88320): the record spool's check of each line.
#include <cstdint>
#include <string>

namespace otp {

uint32_t Crc32(const std::string& bytes);
// The CRC as 8 lower-case hex digits, "cbf43926" for "123456789".
std::string Crc32Hex(const std::string& bytes);

}  // namespace otp
