#include "report/ReportTime.h"

#include <cstdint>

namespace otp {
namespace {

// Reads exactly `count` digits at `at`.
bool Digits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidDate(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || month < 1 || month > 12 || day < 1) return false;
    return day <= kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// "YYYY-MM-DD" at the start of `text`.
bool ReadDate(const std::string& text, int& year, int& month, int& day) {
    return Digits(text, 0, 4, year) && text.size() >= 10 && text[4] == '-' && Digits(text, 5, 2, month) &&
           text[7] == '-' && Digits(text, 8, 2, day) && ValidDate(year, month, day);
}

// "HH:MM" at `at`.
bool ReadHourMinute(const std::string& text, size_t at, int& hour, int& minute) {
    return Digits(text, at, 2, hour) && at + 2 < text.size() && text[at + 2] == ':' &&
           Digits(text, at + 3, 2, minute) && hour <= 23 && minute <= 59;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar: no
// time zone of the C library's comes into it.
int64_t DaysFromEpoch(int year, int month, int day) {
    year -= month <= 2;
    const int64_t era = year / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::tm LocalParts(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

}  // namespace

bool ParseLogTime(const std::string& text, std::time_t& t) {
    int year, month, day, hour, minute, second;
    if (!ReadDate(text, year, month, day) || text.size() < 19 || text[10] != 'T' ||
        !ReadHourMinute(text, 11, hour, minute) || text[16] != ':' || !Digits(text, 17, 2, second) || second > 60)
        return false;
    int offsetMinutes = 0;
    const std::string zone = text.substr(19);
    if (zone != "Z") {
        int h, m;
        const bool colon = zone.size() == 6 && zone[3] == ':';
        if (!(colon || zone.size() == 5) || (zone[0] != '+' && zone[0] != '-') || !Digits(zone, 1, 2, h) ||
            !Digits(zone, colon ? 4 : 3, 2, m) || h > 23 || m > 59)
            return false;
        offsetMinutes = (zone[0] == '-' ? -1 : 1) * (h * 60 + m);
    }
    const int64_t seconds = DaysFromEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                            int64_t{offsetMinutes} * 60;
    t = static_cast<std::time_t>(seconds);
    return static_cast<int64_t>(t) == seconds;
}

bool ParseLocalTime(const std::string& text, std::time_t& t) {
    int year, month, day, hour = 0, minute = 0;
    if (!ReadDate(text, year, month, day)) return false;
    if (text.size() != 10) {
        if (text.size() != 16 || (text[10] != 'T' && text[10] != ' ') || !ReadHourMinute(text, 11, hour, minute))
            return false;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;  // the zone's rule for that day
    t = std::mktime(&local);
    return t != static_cast<std::time_t>(-1);
}

std::string LocalHour(std::time_t t) {
    const std::tm local = LocalParts(t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:00", &local);
    return text;
}

std::string LocalMinute(std::time_t t) {
    const std::tm local = LocalParts(t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace otp
