#pragma once
// The small body of the real-time end-to-end tests, and an image for it.
#include <cstdio>
#include <sstream>
#include <string>

namespace otp::test {

// A 64-byte body, and an image for it. Its waits (ticks of 10 ms) leave
// the writer some 180 ms more than it needs, so a writer-emulator that a
// busy machine holds up still answers in time.
inline const char kIni[] =
    "VERSION 12071000 V5.00\n"
    "RS232_PORT COM1\n"
    "IC_BODY_START\n"
    "BODY TINY64\n"
    "BNK_DLY 20\n"
    "PRG_DLY 30\n"
    "VER_DLY 20\n"
    "CPY_DLY 20\n"
    "OBJ_DLY 0\n"
    "OFFSET 0\n"
    "INFO $A5,0,0,0,$80,64,0,0,$80,0,0,0,0,0,0,0\n"
    "OPT\n"
    "0 00 00 BODY TINY64\n"
    "0 00 00 OPTION END\n"
    "IC_BODY_END\n";

inline std::string RomText() {
    std::ostringstream rom;
    rom << "BODY TINY64\r\nOPTION END\r\nMORVIK_BYTE 0000000000000000\r\nROM START\r\nBANK 0\r\n"
           "STARTADR 0000\r\nENDADR 003F\r\nLENGTH 00064 BYTE\r\n";
    int sum = 0;
    for (int row = 0; row < 4; ++row) {
        char label[8];
        std::snprintf(label, sizeof label, "%04X ", row * 16);
        rom << label;
        for (int k = 0; k < 16; ++k) {
            const int v = ((row * 16 + k) * 7 + 1) & 0xFF;
            sum += v;
            char value[4];
            std::snprintf(value, sizeof value, " %02X", v);
            rom << value;
        }
        rom << " \r\n";
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%04X", sum & 0xFFFF);
    rom << "CHECKSUM " << checksum << "\r\nBANK 0 END\r\nROM END\r\n";
    return rom.str();
}

}  // namespace otp::test
