#include "cli/Steps.h"

#include "maintenance/UpdateWriter.h"
#include "maintenance/WriterVersion.h"
#include "romfile/LoadRomFile.h"
#include "romfile/SaveRomFile.h"
#include "romfile/UploadRom.h"

namespace otp {
namespace {

// Runs a file operation with `pick` as the operator's choice in its file
// dialog; a pick the operation did not ask for is not kept for a later step.
Outcome WithPick(std::deque<std::string>& picks, const std::string& pick, Outcome (*op)(Context&), Context& ctx) {
    picks.assign(1, pick);
    const Outcome outcome = op(ctx);
    picks.clear();
    return outcome;
}

}  // namespace

const std::vector<StepDef>& AllSteps() {
    static const std::vector<StepDef> steps = {
        {"load", "FILE", "load a .rom file and download it to the writer (menu \"Load ROM File\")",
         [](StepCall& c) { return WithPick(c.form.openFiles, c.arg, LoadROMFile1Click, c.ctx); }},
        {"save", "FILE", "save the selected body, option bytes and image as a .rom file (menu \"Save ROM File\")",
         [](StepCall& c) { return WithPick(c.form.saveFiles, c.arg, SaveROMFile1Click, c.ctx); }},
        {"upload", nullptr, "take the writer's body, option bytes and image (menu \"Upload ROM\")",
         [](StepCall& c) { return UploadtoWriter1Click(c.ctx); }},
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
