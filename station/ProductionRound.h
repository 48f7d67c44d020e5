#pragma once
// One chip of a production run, as every front end runs it: a place of the
// order claimed first, a fresh chip put in, the chip's steps, the verdict
// counted for its writer and the station, the place given back when the chip
// did not pass, and the rules that stop a writer after it. The front ends
// only say how the steps run and show what came of it.
#include <functional>
#include <mutex>
#include <string>

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

// The passed chips an order asks for, counted across the writers of this
// station: each chip claims a place before it starts and gives it back when
// it does not pass, so that the last place is never taken twice.
class ProductionOrder {
public:
    // `quantity` places, `passed` of them taken by chips of earlier runs.
    ProductionOrder(long quantity, long passed) : quantity_(quantity), passed_(passed) {}
    // False when every place is taken or passed.
    bool Claim();
    void Settle(bool passed);
    long Passed() const;
    long Quantity() const { return quantity_; }
    bool Complete() const;
    // "1234 of 5000".
    std::string Progress() const;

private:
    mutable std::mutex mutex_;
    const long quantity_;
    long passed_;
    long claimed_ = 0;
};

struct RoundRules {
    int maxFails = 0;                 // a writer stops after this many failed chips in a row; 0: never
    ProductionOrder* order = nullptr;  // the job's order; none without a job
};

// What one chip came to.
struct ChipEnd {
    bool ran = false;  // false: the order was complete, and no chip was started
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

// "order complete: 5000 of 5000 passed".
std::string OrderCompleteLine(const ProductionOrder& order);

}  // namespace otp
