#pragma once
// The steps of the console front end: each acts as the operator's own click
// or pick in the window.
#include <functional>
#include <string>
#include <vector>

#include "link/Context.h"
#include "link/Outcome.h"
#include "view/FormModel.h"

namespace otp {

// What the command line gives a job that job-save makes.
struct JobOrder {
    long quantity = 0;  // --quantity
    std::string lot;    // --lot
};

struct StepCall {
    Context& ctx;
    FormModel& form;  // the window's state, for answers to dialogs and picks
    std::string arg;  // the step's argument, when it takes one
    const JobOrder& order;
};

struct StepDef {
    const char* name;
    const char* argName;  // nullptr when the step takes no argument
    const char* help;
    std::function<Outcome(StepCall&)> run;
    // The step works on the chip in the socket: it is recorded in the
    // production log and counted.
    bool touchesChip = false;
    // Cut short, the step would leave the writer without firmware: a signal
    // during it is told that it must finish first.
    bool mustFinish = false;
};

const std::vector<StepDef>& AllSteps();
const StepDef* FindStep(const std::string& name);
// A step that changes what a production job fixes (the image, a setting,
// the firmware, a test code, another job): a job's run refuses it.
bool JobFixes(const StepDef& step);

}  // namespace otp
