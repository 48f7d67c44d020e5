#include "cli/Steps.h"

#include "maintenance/UpdateWriter.h"
#include "maintenance/WriterVersion.h"

namespace otp {

const std::vector<StepDef>& AllSteps() {
    static const std::vector<StepDef> steps = {
        {"version", nullptr, "show the writer's firmware version (menu \"Version\")",
         [](StepCall& c) { return Version1Click(c.ctx); }},
        {"update", nullptr, "send the firmware file of Writer.ini to the writer (menu \"Update Writer\"; asks, see --yes)",
         [](StepCall& c) { return UpdateWriter1Click(c.ctx); }},
    };
    return steps;
}

const StepDef* FindStep(const std::string& name) {
    for (const StepDef& s : AllSteps())
        if (name == s.name) return &s;
    return nullptr;
}

}  // namespace otp
