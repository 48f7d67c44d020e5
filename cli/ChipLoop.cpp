#include "cli/ChipLoop.h"

#include <cctype>

#include "station/ProductionRound.h"

namespace otp {
namespace {

bool Interrupted(const ChipLoopSettings& s) { return s.interrupted && *s.interrupted; }

// Waits for the operator: true for the next chip, false to stop (q, end of
// input, Ctrl-C).
bool NextChipWanted(ChipLoopSettings& s) {
    s.err << "Put the next chip in the socket and press Enter (q and Enter to stop): " << std::flush;
    std::string answer;
    if (!std::getline(s.in, answer) || Interrupted(s)) {
        s.err << "\n";
        return false;
    }
    if (!s.inIsTerminal) s.err << answer << "\n";
    return answer != "q" && answer != "Q";
}

}  // namespace

ChipSteps RunChipSteps(StepRunner& runner, const std::vector<StepRequest>& steps,
                       const std::function<void(const StepRequest&)>& starting) {
    ChipSteps done;
    runner.NewChip();
    for (const StepRequest& step : steps) {
        if (starting) starting(step);
        const StepResult r = runner.Run(step);
        // The chip is told by its record's number, which the log shows.
        if (step.def->touchesChip && runner.LastChip().chip > 0) done.chip = runner.LastChip().chip;
        if (!r.note.empty()) done.notes += (done.notes.empty() ? "" : "; ") + r.note;
        if (!r.logError.empty()) done.logError = r.logError;
        if (r.outcome != Outcome::Done) {
            done.failure = r.failure;
            done.refused = r.outcome == Outcome::Refused;
            break;
        }
    }
    done.noWriter = !done.failure.empty() && runner.LastChip().verdict == Verdict::NoWriter;
    return done;
}

ChipLoopEnd RunChipLoop(StepRunner& runner, const std::vector<StepRequest>& steps, ChipLoopSettings& s) {
    ChipLoopEnd end;
    StationTally tally;
    RoundRules rules;
    rules.maxFails = s.maxFails;
    rules.order = s.order;
    if (s.awaitPlace)
        rules.awaitPlace = [&s](const std::string&, const std::string& why, int waited) {
            if (waited == 0) s.err << "waiting: " << why << "\n";
            return !Interrupted(s) && s.awaitPlace() && !Interrupted(s);
        };
    if (s.awaitRecord)
        rules.awaitRecord = [&s](const std::string&, std::string& why, bool& waited) { return s.awaitRecord(why, waited); };
    const auto complete = [&] {
        if (!s.order || !s.order->Complete()) return false;
        s.err << OrderCompleteLine(*s.order) << "\n";
        return end.orderComplete = true;
    };
    if (complete()) return end;
    for (int chip = 1;; ++chip) {
        const std::function<void()> fresh = chip > 1 ? s.freshChip : nullptr;
        const ChipEnd one = RunProductionChip("", tally, rules, fresh, [&] {
            ChipSteps done = RunChipSteps(runner, steps);
            // One writer's loop counts its chips itself, and goes on after a silent writer.
            done.chip = 0;
            done.noWriter = false;
            return done;
        });
        if (!one.ran) {
            // No place of the order left: complete, or the store could not say.
            if (!complete()) {
                s.err << "no chip started: " << one.notStarted << "\n";
                end.stopReason = one.notStarted;
            }
            break;
        }
        end.chips = one.mine;
        if (!one.logError.empty()) end.stopReason = one.logError;
        if (!one.failure.empty() && end.firstFailure.empty()) end.firstFailure = one.failure;
        s.err << "chip " << chip << ": " << one.Said() << " (" << end.chips.Summary()
              << (s.order ? ", order " + s.order->Progress() : std::string()) << ")\n";
        if (!end.stopReason.empty() || complete()) break;
        if (!one.stop.empty()) {
            s.err << char(std::toupper(static_cast<unsigned char>(one.stop[0]))) << one.stop.substr(1) << ".\n";
            break;
        }
        if (Interrupted(s) || !NextChipWanted(s)) break;
    }
    return end;
}

}  // namespace otp
