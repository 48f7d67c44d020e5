#pragma once
// The chip loop of a production run: the steps after "loop" once per chip,
// the verdict and the counts after each, then Enter for the next chip or q
// to stop. A failed step ends its chip, not the loop.
#include <csignal>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/StepRunner.h"
#include "production/Tally.h"
#include "station/ProductionRound.h"

namespace otp {

struct ChipLoopSettings {
    std::istream& in;
    std::ostream& err;
    // Puts a fresh blank chip into the socket (the emulated writer's); empty
    // when the operator does it.
    std::function<void()> freshChip;
    // Set by Ctrl-C: the loop ends after the current chip.
    const volatile std::sig_atomic_t* interrupted = nullptr;
    // Stop after this many failed chips in a row; 0 never stops.
    int maxFails = 0;
    // The job's order: each chip claims a place of it, and the loop ends
    // when it is complete. None without a job.
    ProductionOrder* order = nullptr;
    // Waits a while for a place of the order under way elsewhere (the
    // writer's pacer); false to give up. None: a chip without a place is not started.
    std::function<bool()> awaitPlace{};
    // Waits for the record server when the order's place could not be asked
    // for (see RoundRules::awaitRecord). None: the loop stops then.
    std::function<bool(std::string& why, bool& waited)> awaitRecord{};
    // An answer typed on a terminal ends its own line; one read from a pipe
    // or file does not, so the prompt's line is ended for it.
    bool inIsTerminal = false;
};

struct ChipLoopEnd {
    Tally chips;
    std::string firstFailure;  // of the first chip that failed
    std::string stopReason;    // when the run must stop as a whole (the log)
    bool orderComplete = false;
};

// One chip's steps through `runner`, up to the first that does not pass;
// `starting` (may be empty) hears each step before it runs.
ChipSteps RunChipSteps(StepRunner& runner, const std::vector<StepRequest>& steps,
                       const std::function<void(const StepRequest&)>& starting = nullptr);

ChipLoopEnd RunChipLoop(StepRunner& runner, const std::vector<StepRequest>& steps, ChipLoopSettings& settings);

}  // namespace otp
