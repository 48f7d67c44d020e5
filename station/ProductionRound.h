#pragma once
// One chip of a production run, as every front end runs it: a place of the
// order claimed first, a fresh chip put in, the chip's steps, the verdict
// counted for its writer and the station, the place given back when the chip
// did not pass, and the rules that stop a writer after it. The front ends
// only say how the steps run and show what came of it.
#include <functional>
#include <string>

#include "production/ProductionOrder.h"
#include "production/Tally.h"
#include "station/Station.h"

namespace otp {

// What a chip's steps came to, as the front end ran them.
struct ChipSteps {
    std::string failure;    // the first failure; empty when every step passed
    bool refused = false;   // refused before anything reached the chip
    std::string notes;      // on a pass, what the host could not confirm ("; " between them)
    std::string logError;   // the record could not be written: the whole run stops
    int chip = 0;           // the chip's number in its record; 0 when no record numbered it
    bool noWriter = false;  // the writer gave no sign of life
};

struct RoundRules {
    int maxFails = 0;                 // a writer stops after this many failed chips in a row; 0: never
    ProductionOrder* order = nullptr;  // the job's order; none without a job
    // While the order's last places are under way on other writers: called
    // with the writer, why, and how many times it was called for this chip
    // before, it waits a while and says whether to ask again (else the chip
    // is not started). None: not started at once.
    std::function<bool(const std::string& writer, const std::string& why, int waited)> awaitPlace;
    // When the order's place could not be asked for (the record server away):
    // waits as the record's own wait does, until a record can reach the
    // server again; `waited` says whether it was away for a while. False,
    // with `why`, gives up (the chip is not started). None: not started at once.
    std::function<bool(const std::string& writer, std::string& why, bool& waited)> awaitRecord;
};

// What one chip came to.
struct ChipEnd {
    bool ran = false;        // false: no place of the order was left for it, and no chip was started
    std::string notStarted;  // why not
    bool orderUnknown = false;  // the order's place could not be asked for: the run cannot go on
    Verdict verdict = Verdict::Pass;
    int chip = 0;  // its number among its writer's
    std::string failure;
    std::string notes;
    std::string logError;
    Tally mine;        // its writer's counts after it
    std::string stop;  // why its writer stops after it (a fault); empty: it goes on
    bool Passed() const { return ran && failure.empty(); }
    // "PASS", "FAIL", "REFUSED".
    std::string Word() const;
    // "PASS: notes", "FAIL: why", "REFUSED: why".
    std::string Said() const;
};

// Runs one chip on the writer named `writer`: `freshChip` (may be empty)
// puts it in, `steps` works on it. Counted in `tally`.
ChipEnd RunProductionChip(const std::string& writer, StationTally& tally, const RoundRules& rules,
                          const std::function<void()>& freshChip, const std::function<ChipSteps()>& steps);

}  // namespace otp
