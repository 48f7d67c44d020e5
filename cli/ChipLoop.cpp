#include "cli/ChipLoop.h"

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

ChipLoopEnd RunChipLoop(StepRunner& runner, const std::vector<StepRequest>& steps, ChipLoopSettings& s) {
    ChipLoopEnd end;
    for (int chip = 1;; ++chip) {
        std::string failure;
        std::string notes;
        bool refused = false;
        runner.NewChip();
        for (const StepRequest& step : steps) {
            const StepResult r = runner.Run(step);
            if (!r.note.empty()) notes += (notes.empty() ? ": " : "; ") + r.note;
            if (!r.logError.empty()) end.stopReason = r.logError;
            if (r.outcome != Outcome::Done) {
                failure = r.failure;
                refused = r.outcome == Outcome::Refused;
                break;
            }
        }
        // A chip refused before anything was sent to it is no failed chip.
        end.chips.Add(failure.empty() ? Verdict::Pass : refused ? Verdict::Refused : Verdict::Fail);
        if (!failure.empty() && end.firstFailure.empty()) end.firstFailure = failure;
        s.err << "chip " << chip << ": "
              << (failure.empty() ? "PASS" + notes : (refused ? "REFUSED: " : "FAIL: ") + failure) << " ("
              << end.chips.Summary() << ")\n";
        if (!end.stopReason.empty()) break;
        if (s.maxFails > 0 && end.chips.failsInARow >= s.maxFails) {
            s.err << "Stopped after " << end.chips.failsInARow << " failed chips in a row.\n";
            break;
        }
        if (Interrupted(s) || !NextChipWanted(s)) break;
        if (s.freshChip) s.freshChip();
    }
    return end;
}

}  // namespace otp
