#include "cli/StepRunner.h"

#include "cli/ConsoleAnswers.h"
#include "cli/InterruptCatcher.h"

namespace otp {

StepResult StepRunner::Run(const StepRequest& step) {
    form_.TakeRefusedQuestion();
    StepResult result = RunWatched(step);
    if (result.outcome == Outcome::Done) return result;
    // Every failure the operations know of names its cause; this is the
    // last resort for one that showed nothing at all.
    if (result.failure.empty()) result.failure = "step '" + step.Text() + "' did not pass";
    // A step a "no" stopped says which option answers yes.
    if (const std::string way = WayOut(form_.TakeRefusedQuestion()); !way.empty())
        result.failure += " (" + way + ")";
    return result;
}

StepResult StepRunner::RunWatched(const StepRequest& step) {
    StepCall call{session_.ctx(), form_, step.arg, order_};
    StepResult result;
    const InterruptCatcher::MustFinish guard(step.def->mustFinish);
    if (step.def->touchesChip) {
        const ChipResult chip =
            recorder_.Run(session_.ctx(), step.def->name, [&](Context&) { return step.def->run(call); });
        result.outcome = chip.verdict == Verdict::Pass      ? Outcome::Done
                         : chip.verdict == Verdict::Refused ? Outcome::Refused
                                                            : Outcome::Failed;
        result.failure = chip.failure;
        result.note = chip.note;
        result.logError = chip.logError;
        return result;
    }
    watch_.Begin();
    session_.ctx().findings.Clear();
    result.outcome = step.def->run(call);
    const Findings& found = session_.ctx().findings;
    if (result.outcome != Outcome::Done) result.failure = watch_.FailureWith(found);
    else result.note = found.Text();
    return result;
}

}  // namespace otp
