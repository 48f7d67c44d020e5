#pragma once
// The times of a report: the log's ISO 8601 times with their offset from
// UTC, and the local times the report's window is given in.
#include <ctime>
#include <optional>
#include <string>

namespace otp {

// The records a report takes: from `from` on, before `to`.
struct TimeWindow {
    std::optional<std::time_t> from, to;
    bool Holds(std::time_t t) const { return (!from || t >= *from) && (!to || t < *to); }
};

// "2026-12-08T14:55:02+01:00" (also "+0100" and "Z"), the offset taken as
// written, whatever this computer's zone; false for anything else.
bool ParseLogTime(const std::string& text, std::time_t& t);

// A local time of this computer: "2026-12-08T10:00", "2026-12-08 10:00" or
// "2026-12-08" (its midnight); false for anything else.
bool ParseLocalTime(const std::string& text, std::time_t& t);

// The local hour `t` falls in, "2026-12-08 14:00"; these sort as they come.
std::string LocalHour(std::time_t t);

// The local minute, "2026-12-08 14:55".
std::string LocalMinute(std::time_t t);

}  // namespace otp
