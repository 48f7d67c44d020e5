#pragma once
// A station on ptys: otpwriter-cli --writers driving paced writer-emulators,
// one per writer, through rounds of `loop auto`, a fresh blank chip put into
// every socket before each round.
#include <string>

#include "bench/ChildRun.h"
#include "bench/WorkFolder.h"

namespace otp::bench {

struct StationRun {
    int writers = 0;
    bool fast = false;
    bool measured = false;  // every round ran, every chip passed, the run ended with status 0
    int timedRounds = 0;
    int chipsPassed = 0;    // in the timed rounds
    double timedMs = 0;     // from the end of the first round to the last verdict
    double timedCpuMs = 0;  // otpwriter-cli's CPU over the timed rounds
    ChildUsage run;         // the whole run of otpwriter-cli
    double emulatorCpuMs = 0;  // all writer-emulators together, over their whole runs
    int failedAttempts = 0;
    std::string note;       // why the last attempt was not measured, where its output is

    double ChipsPerHour() const { return timedMs > 0 ? chipsPassed * 3600000.0 / timedMs : 0; }
};

// Runs `chips` timed rounds after a first round that is not timed (it starts
// as the load ends, with no prompt to time it from). A run that cannot be
// measured is tried again, at most twice.
StationRun RunStation(int writers, bool fast, int chips, const WorkFolder& work);

}  // namespace otp::bench
