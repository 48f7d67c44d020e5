#include "production/ChipRecord.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
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

bool VerdictFromWord(const std::string& word, Verdict& v) {
    for (Verdict each : {Verdict::Pass, Verdict::Fail, Verdict::Refused, Verdict::NoWriter})
        if (word == VerdictWord(each)) {
            v = each;
            return true;
        }
    return false;
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

std::string SpreadsheetSafe(const std::string& text) {
    if (text.empty() || std::string("=+-@\t\r'").find(text[0]) == std::string::npos) return text;
    return "'" + text;
}

std::string FromSpreadsheetSafe(const std::string& field) {
    return !field.empty() && field[0] == '\'' ? field.substr(1) : field;
}

#ifdef _WIN32
namespace {

// The local time's offset from UTC as +hhmm. Windows' strftime gives the
// zone's name for %z, so the offset is found from the two readings of `t`.
std::string UtcOffset(std::time_t t, const std::tm& local) {
    std::tm utc{};
    gmtime_s(&utc, &t);
    // Days since an arbitrary epoch, enough to compare two nearby dates.
    const auto days = [](const std::tm& tm) { return tm.tm_year * 366L + tm.tm_yday; };
    long minutes = (local.tm_hour - utc.tm_hour) * 60L + (local.tm_min - utc.tm_min);
    if (days(local) != days(utc)) minutes += days(local) > days(utc) ? 24 * 60 : -24 * 60;
    const long size = minutes < 0 ? -minutes : minutes;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", minutes < 0 ? '-' : '+', size / 60 % 100, size % 60);
    return zone;
}

}  // namespace
#endif

std::string IsoLocalTime(std::time_t t) {
    std::tm local{};
    char stamp[32];
#ifdef _WIN32
    localtime_s(&local, &t);
    std::string offset = UtcOffset(t, local);
#else
    localtime_r(&t, &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);  // +hhmm
    std::string offset = zone;
#endif
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    if (offset.size() == 5) offset.insert(3, ":");
    return std::string(stamp) + offset;
}

std::string RunId(const std::string& host, std::time_t start) { return host + " " + IsoLocalTime(start); }

std::string HostName() {
    char name[256] = {};
#ifdef _WIN32
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return "unknown host";
#else
    if (gethostname(name, sizeof name - 1) != 0) return "unknown host";
#endif
    return name[0] ? name : "unknown host";
}

std::string CsvHeader() {
    return "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,waits,writer,lot,operator,job,job_id";
}

const std::vector<std::string>& CsvHeaderFields() {
    static const std::vector<std::string> fields = [] {
        std::vector<std::string> names;
        const std::string header = CsvHeader();
        for (size_t start = 0;;) {
            const size_t comma = header.find(',', start);
            names.push_back(header.substr(start, comma - start));
            if (comma == std::string::npos) return names;
            start = comma + 1;
        }
    }();
    return fields;
}

std::string CsvLine(const ChipRecord& r) {
    const auto text = SpreadsheetSafe;
    const std::string fields[] = {IsoLocalTime(r.when),   text(r.operation),      text(r.body),
                                  text(r.romFile),        text(r.checksum),       text(r.rollingCode),
                                  VerdictWord(r.verdict), text(r.failure),        std::to_string(r.durationMs),
                                  std::to_string(r.chip), text(r.run),            r.fastWaits ? "fast" : "fixed",
                                  text(r.writer),         text(r.lot),            text(r.operatorName),
                                  text(r.job),            text(r.jobId)};
    std::string line;
    for (size_t i = 0; i < std::size(fields); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line;
}

}  // namespace otp
