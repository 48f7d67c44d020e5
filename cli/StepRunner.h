#pragma once
// Runs one step of the console front end and tells how it ended: the steps
// that touch the chip through the production recorder, the others watched
// for the line that says what went wrong.
#include <string>

#include "cli/Steps.h"
#include "operations/Session.h"
#include "production/ChipRecorder.h"
#include "production/OperationWatch.h"

namespace otp {

struct StepRequest {
    const StepDef* def;
    std::string arg;
    // "auto", "load x.rom": how the step is named in messages.
    std::string Text() const { return arg.empty() ? def->name : std::string(def->name) + " " + arg; }
};

struct StepResult {
    Outcome outcome = Outcome::Done;
    std::string failure;   // what went wrong, empty when the step passed
    std::string note;      // what a step that passed could not confirm; empty when nothing
    std::string logError;  // the record could not be written (log, record server, spool)
};

class StepRunner {
public:
    StepRunner(Session& session, FormModel& form, OperationWatch& watch, ChipRecorder& recorder)
        : session_(session), form_(form), watch_(watch), recorder_(recorder) {}

    StepResult Run(const StepRequest& step);
    // The steps from here on work on a chip of their own (one record number).
    void NewChip() { recorder_.NewChip(); }
    // The last recorded operation's result.
    const ChipResult& LastChip() const { return recorder_.Last(); }
    // What job-save gives the job it makes.
    void SetJobOrder(JobOrder order) { order_ = std::move(order); }

private:
    StepResult RunWatched(const StepRequest& step);

    Session& session_;
    FormModel& form_;
    OperationWatch& watch_;
    ChipRecorder& recorder_;
    JobOrder order_;
};

}  // namespace otp
