#include "production/ChipRecord.h"

#include <iterator>

namespace otp {

const char* VerdictWord(Verdict v) {
    switch (v) {
        case Verdict::Pass: return "pass";
        case Verdict::Fail: return "fail";
        case Verdict::Refused: return "refused";
        case Verdict::NoWriter: return "no writer";
    }
    return "fail";
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string IsoLocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    char zone[8];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);  // +hhmm
    std::string offset = zone;
    if (offset.size() == 5) offset.insert(3, ":");
    return std::string(stamp) + offset;
}

std::string CsvHeader() {
    return "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip";
}

std::string CsvLine(const ChipRecord& r) {
    const std::string fields[] = {IsoLocalTime(r.when), r.operation,  r.body,
                                  r.romFile,            r.checksum,   r.rollingCode,
                                  VerdictWord(r.verdict), r.failure,  std::to_string(r.durationMs),
                                  std::to_string(r.chip)};
    std::string line;
    for (size_t i = 0; i < std::size(fields); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line;
}

}  // namespace otp
