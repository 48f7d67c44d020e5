#pragma once
// The faults the emulated writer is told to make, and what they do to one
// command: the writer tells the plan when a command starts and ends, hands
// it every byte it takes and every answer before it goes on the line, and
// acts on what the plan returns. Each fault that is injected is reported as
// one line, e.g. "W#2 truncate=5: answer cut from 16 to 5 bytes".
//
// Occurrences are counted per fault from the moment it is added; only a byte
// that starts a command counts. Random bytes are the low byte of raw
// std::mt19937 output, the same on every platform for a seed.
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "emulator/FaultRule.h"

namespace otp::emu {

// An answer as it is to go out.
struct ShapedAnswer {
    std::vector<uint8_t> bytes;
    int64_t lateUs = 0;  // the whole answer later than it would be
    size_t tailFrom = std::numeric_limits<size_t>::max();
    int64_t tailUs = 0;  // bytes from tailFrom on that much later again
    bool dies = false;   // the writer dies once `bytes` went out
};

// What happens to one byte the writer takes.
struct Intake {
    bool lost = false;   // the byte never reaches the writer
    bool dies = false;   // the writer dies once it has taken it
    int64_t deafUs = 0;  // the writer takes nothing more for this long
};

class FaultPlan {
public:
    static constexpr uint32_t kDefaultSeed = 1;

    void Add(const Fault& fault);
    // Removes every fault, also those hitting the command in progress.
    void Clear();
    void SetSeed(uint32_t seed) { random_.seed(seed); }
    void SetReporter(std::function<void(const std::string&)> reporter) { reporter_ = std::move(reporter); }
    const std::vector<std::string>& Reports() const { return reports_; }

    // `commandByte` starts a command: each fault counts it, those that hit it
    // stay armed until EndCommand.
    void StartCommand(uint8_t commandByte);
    // A byte the writer takes, the command byte first.
    Intake Take(uint8_t byte);
    // The command has answered, or will not (complete, idled out, lost).
    void EndCommand();
    ShapedAnswer Shape(const std::vector<uint8_t>& bytes);

private:
    struct Planned {
        Fault fault;
        int seen = 0;
    };
    struct Armed {
        Fault fault;
        std::string label;  // "W#2", or "*#5 (W)"
        bool done = false;
    };
    struct Countdown {
        Armed armed;
        int64_t left = 0;
    };

    uint8_t RandomByte() { return static_cast<uint8_t>(random_() & 0xFF); }
    void Report(const Armed& armed, const std::string& what);
    void Apply(Armed& armed, ShapedAnswer& answer, std::vector<uint8_t>& bytes, size_t& dieAfter);

    std::vector<Planned> planned_;
    std::vector<Armed> armed_;
    std::vector<Countdown> countdowns_;  // die-rx faults counting bytes taken
    int64_t taken_ = 0;                  // bytes of the armed command taken so far
    std::mt19937 random_{kDefaultSeed};
    std::function<void(const std::string&)> reporter_;
    std::vector<std::string> reports_;
};

}  // namespace otp::emu
