#pragma once
// One fault of the emulated writer as a person writes it:
//   TARGET ":" KIND [ "=" ARGS ]
// TARGET is a command letter or "*" (any command), optionally "#N": only the
// Nth occurrence, counted from the moment the fault is added. The kinds are
// listed in FaultKind; README.md has the table.
#include <cstdint>
#include <string>

namespace otp::emu {

enum class FaultKind {
    Silent,    // no answer
    Late,      // ms: the whole answer that much later
    Tail,      // count, ms: answer bytes from index count on that much later
    Truncate,  // count: only the first count answer bytes
    Extra,     // count: that many random bytes after the answer
    Flood,     // count: that many random bytes instead of the answer
    Garbage,   // the answer's bytes replaced by random bytes
    Corrupt,   // count: answer byte count changed
    Lose,      // count: host byte count of the command lost (0 the command byte)
    Deaf,      // ms: nothing received for that long after the command byte
    Die,       // count: the writer dies once count answer bytes went out
    DieRx,     // count: the writer dies after taking count bytes from the command byte
};

struct Fault {
    char target = '*';   // command letter, or '*' for any command
    int occurrence = 0;  // from 1; 0 hits every occurrence
    FaultKind kind = FaultKind::Silent;
    int64_t count = 0;
    int64_t ms = 0;
    std::string kindText;  // KIND[=ARGS] as written, for the reports

    // Whether the fault shapes an answer (rather than what the writer takes).
    bool ChangesAnswer() const;
};

// Largest number a rule takes (bytes, milliseconds, occurrences).
inline constexpr int64_t kFaultNumberMax = 1000000;

// False, with the reason in `error`, for a rule that does not follow the
// grammar. Whether the writer has a command of that letter is not checked.
bool ParseFault(const std::string& rule, Fault& fault, std::string& error);

}  // namespace otp::emu
