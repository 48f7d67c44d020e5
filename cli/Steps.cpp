#include "cli/Steps.h"

namespace otp {

const std::vector<StepDef>& AllSteps() {
    static const std::vector<StepDef> steps = {
    };
    return steps;
}

const StepDef* FindStep(const std::string& name) {
    for (const StepDef& s : AllSteps())
        if (name == s.name) return &s;
    return nullptr;
}

}  // namespace otp
