#include "station/ProductionRound.h"

namespace otp {

std::string ChipEnd::Word() const { return failure.empty() ? "PASS" : verdict == Verdict::Refused ? "REFUSED" : "FAIL"; }

std::string ChipEnd::Said() const { return failure.empty() ? Word() + notes : Word() + ": " + failure; }

ChipEnd RunProductionChip(const std::string& writer, StationTally& tally, const RoundRules& rules,
                          const std::function<void()>& freshChip, const std::function<ChipSteps()>& steps) {
    ChipEnd end;
    if (rules.order) {
        ProductionOrder::Place place;
        for (int asked = 0;; ++asked) {
            for (int waited = 0; (place = rules.order->Claim(writer, end.notStarted)) == ProductionOrder::Place::Full &&
                                 rules.awaitPlace && rules.awaitPlace(writer, end.notStarted, waited);
                 ++waited) {
            }
            if (place != ProductionOrder::Place::Unknown || !rules.awaitRecord) break;
            // The server away is waited for; one that answers and still gives
            // no place is asked once more (a connection it dropped), then
            // the chip is not started.
            bool away = false;
            std::string why;
            if (!rules.awaitRecord(writer, why, away)) {
                if (!why.empty()) end.notStarted = why;
                break;
            }
            if (!away && asked > 0) break;
        }
        if (place != ProductionOrder::Place::Taken) {
            if (place == ProductionOrder::Place::Complete) end.notStarted = OrderCompleteLine(*rules.order);
            end.orderUnknown = place == ProductionOrder::Place::Unknown;
            end.mine = tally.Of(writer);
            return end;
        }
    }
    end.ran = true;
    if (freshChip) freshChip();
    const ChipSteps done = steps();
    end.failure = done.failure;
    end.logError = done.logError;
    if (done.failure.empty() && !done.notes.empty()) end.notes = ": " + done.notes;
    // A chip refused before anything was sent to it is no failed chip.
    end.verdict = done.failure.empty() ? Verdict::Pass : done.refused ? Verdict::Refused : Verdict::Fail;
    if (rules.order) rules.order->Settle(writer, end.Passed());
    tally.Add(writer, end.verdict);
    end.mine = tally.Of(writer);
    end.chip = done.chip > 0 ? done.chip : end.mine.Chips() + end.mine.refused;
    // A writer that gave no sign of life is not asked again.
    if (!done.failure.empty() && done.noWriter) end.stop = "the writer does not answer";
    else if (rules.maxFails > 0 && end.mine.failsInARow >= rules.maxFails)
        end.stop = "stopped after " + std::to_string(end.mine.failsInARow) + " failed chips in a row";
    return end;
}

}  // namespace otp
