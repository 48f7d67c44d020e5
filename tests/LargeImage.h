#pragma once
// A Writer.ini with the two largest bodies the writer holds, and .rom files
// for them: 8192 bytes, and the words that fill the image area up to the
// option bytes at 0x7F80.
#include <cstdio>
#include <string>

namespace otp::test {

inline constexpr int kLargestWordImage = (0x7F80 - 0x4000) / 2;  // 8128 words

inline std::string LargeImageIni() {
    return "VERSION 12071000 V5.00\nRS232_PORT COM1\nIC_BODY_START\n"
           "BODY BIGB\nBNK_DLY 150\nPRG_DLY 1000\nVER_DLY 200\nCPY_DLY 500\nOFFSET 0\n"
           "INFO $A5,0,0,0,$80,0,$20,0,0\n"
           "OPT\n0 00 00 BODY BIGB\n0 00 00 OPTION END\n"
           "BODY BIGW\nBNK_DLY 300\nPRG_DLY 1000\nVER_DLY 200\nCPY_DLY 500\nOFFSET 0\n"
           "INFO $A5,1,0,0,0,$C0,$1F,0,0\n"
           "OPT\n0 00 00 BODY BIGW\n0 00 00 OPTION END\n"
           "IC_BODY_END\n";
}

inline std::string LargeImageRom(const std::string& body, bool byteMode, int values) {
    const int perRow = byteMode ? 16 : 8;
    const int digits = byteMode ? 2 : 4;
    const unsigned mask = byteMode ? 0xFF : 0xFFFF;
    std::string rom = "BODY " + body + "\nMORVIK_BYTE 0000000000000000\nMORVIK_SUM 0000\nSTARTADR 0000\nLENGTH " +
                      std::to_string(values) + (byteMode ? " BYTE\n" : " WORD\n");
    unsigned sum = 0;
    char text[16];
    for (int row = 0; row * perRow < values; ++row) {
        std::snprintf(text, sizeof text, "%04X ", (row * perRow) & 0xFFFF);
        rom += text;
        for (int k = 0; k < perRow && row * perRow + k < values; ++k) {
            const unsigned v = ((row * perRow + k) * 2654435761u >> 7) & mask;
            sum = (sum + v) & 0xFFFF;
            std::snprintf(text, sizeof text, " %0*X", digits, v);
            rom += text;
        }
        rom += " \n";
    }
    std::snprintf(text, sizeof text, "%04X", sum);
    return rom + "CHECKSUM " + text + "\n";
}

}  // namespace otp::test
