#include "cli/Steps.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "job/JobMaking.h"
#include "maintenance/UpdateWriter.h"
#include "maintenance/WriterVersion.h"
#include "operations/CopyMaster.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "operations/Selectors.h"
#include "operations/TestCode.h"
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

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// The operator can only click a button that is enabled.
Outcome Click(StepCall& c, Control button, const char* caption, Outcome (*op)(Context&)) {
    if (!c.form.Enabled(button)) {
        c.ctx.view.ShowNotice(std::string("\"") + caption + "\" is not available for this body");
        return Outcome::Refused;
    }
    return op(c.ctx);
}

// A Testcode menu entry, when the menu is shown and (for Write) the entry enabled.
Outcome MenuClick(StepCall& c, bool write, const char* caption, Outcome (*op)(Context&)) {
    if (!c.form.MenuVisible(Control::Testcode1) || (write && !c.form.MenuEnabled(Control::Write1))) {
        c.ctx.view.ShowNotice(std::string("\"") + caption + "\" is not available for this body");
        return Outcome::Refused;
    }
    return op(c.ctx);
}

// The operator picks item `index` of an enabled selector; its change handler runs.
Outcome Pick(StepCall& c, Control selector, const char* name, int index, Outcome (*op)(Context&)) {
    if (!c.form.Enabled(selector)) {
        c.ctx.view.ShowNotice(std::string("The ") + name + " selector is not available for this body");
        return Outcome::Refused;
    }
    c.ctx.view.SetSelection(selector, index);
    return op(c.ctx);
}

// The index of the item whose text is `text` (case ignored), or -1.
int ItemIndex(const FormModel& form, Control selector, const std::string& text) {
    const std::vector<std::string>& items = form.Selector(selector).items;
    for (size_t i = 0; i < items.size(); ++i)
        if (SameText(items[i], text)) return static_cast<int>(i);
    return -1;
}

// "on" is item 1, "off" item 0 of the lock and rolling-code selectors.
Outcome PickOffOn(StepCall& c, Control selector, const char* name, Outcome (*op)(Context&)) {
    if (!SameText(c.arg, "on") && !SameText(c.arg, "off")) {
        c.ctx.view.ShowNotice(std::string(name) + " takes on or off, not \"" + c.arg + "\"");
        return Outcome::Refused;
    }
    return Pick(c, selector, name, SameText(c.arg, "on") ? 1 : 0, op);
}

// A body by its item index or its name; anything else selects no body.
Outcome PickBody(StepCall& c) {
    const std::string& a = c.arg;
    const bool number = !a.empty() && a.size() < 6 && std::all_of(a.begin(), a.end(), [](char ch) {
        return std::isdigit(static_cast<unsigned char>(ch));
    });
    const int index = number ? std::stoi(a) : ItemIndex(c.form, Control::ComboBox1, a);
    return Pick(c, Control::ComboBox1, "body", index, ComboBox1Change);
}

// A bank number, "last" (the last used bank) or "first" (the first unused).
Outcome PickBank(StepCall& c) {
    const std::string item = SameText(c.arg, "last")    ? "Last used"
                             : SameText(c.arg, "first") ? "1st Un-use"
                                                        : "Bank " + c.arg;
    const int index = ItemIndex(c.form, Control::ComboBox5, item);
    if (index < 0) {
        c.ctx.view.ShowNotice("The bank list has no item \"" + item + "\"");
        return Outcome::Refused;
    }
    return Pick(c, Control::ComboBox5, "bank", index, ComboBox5Change);
}

// A job of what the writer holds and the selectors show, saved as `c.arg`.
Outcome SaveJob(StepCall& c) {
    if (c.order.quantity <= 0) {
        c.ctx.view.ShowNotice("job-save needs the order's quantity: --quantity N");
        return Outcome::Refused;
    }
    JobSelectors picked;
    picked.body = c.form.SelectedText(Control::ComboBox1);
    picked.lock = c.form.Selector(Control::ComboBox4).selection;
    picked.rolling = c.form.Selector(Control::ComboBox3).selection;
    if (c.form.Enabled(Control::ComboBox5)) picked.bankItem = c.form.SelectedText(Control::ComboBox5);
    Job job;
    std::string id, error;
    if (!SaveJobFromWriter(c.ctx, picked, c.arg, c.order.quantity, c.order.lot, job, id, error)) {
        c.ctx.view.ShowNotice(error);
        return Outcome::Failed;
    }
    c.ctx.view.ShowNotice("Job " + job.name + " (" + id + ") saved in " + c.arg + ": " + std::to_string(job.quantity) +
                          " chips of " + job.image + ", body " + job.body);
    return Outcome::Done;
}

}  // namespace

const std::vector<StepDef>& AllSteps() {
    static const std::vector<StepDef> steps = {
        {"load", "FILE", "load a .rom file and download it to the writer (menu \"Load ROM File\"; a damaged file asks, see --load-damaged)",
         [](StepCall& c) { return WithPick(c.form.openFiles, c.arg, LoadROMFile1Click, c.ctx); }},
        {"save", "FILE", "save the selected body, option bytes and image as a .rom file (menu \"Save ROM File\")",
         [](StepCall& c) { return WithPick(c.form.saveFiles, c.arg, SaveROMFile1Click, c.ctx); }},
        {"upload", nullptr, "take the writer's body, option bytes and image (menu \"Upload ROM\")",
         [](StepCall& c) { return UploadtoWriter1Click(c.ctx); }},
        {"version", nullptr, "show the writer's firmware version (menu \"Version\")",
         [](StepCall& c) { return Version1Click(c.ctx); }},
        {"update", nullptr, "send the firmware file of Writer.ini to the writer (menu \"Update Writer\"; asks, see --yes)",
         [](StepCall& c) { return UpdateWriter1Click(c.ctx); },
         false, true},
        {"auto", nullptr, "blank check, then program and verify if the IC is blank (button \"Auto\")",
         [](StepCall& c) { return Click(c, Control::Button1, "Auto", Button1Click); },
         true},
        {"blank", nullptr, "check that the IC in the socket is blank (button \"Blank Check\")",
         [](StepCall& c) { return Click(c, Control::Button2, "Blank Check", Button2Click); },
         true},
        {"program", nullptr, "program the IC from the writer's image and verify it (button \"Program\")",
         [](StepCall& c) { return Click(c, Control::Button3, "Program", Button3Click); },
         true},
        {"verify", nullptr, "compare the IC with the writer's image (button \"Verify\")",
         [](StepCall& c) { return Click(c, Control::Button4, "Verify", Button4Click); },
         true},
        {"read", nullptr, "read the IC and show its checksum, option bytes and program (button \"Read\")",
         [](StepCall& c) { return Click(c, Control::Button6, "Read", Button6Click); },
         true},
        {"copy", nullptr, "take over the master IC in the socket (button \"Copy\")",
         [](StepCall& c) { return Click(c, Control::Button5, "Copy", Button5Click); },
         true},
        {"body", "N", "pick IC body N (item index from 0, or the body's name)", PickBody},
        {"lock", "on|off", "pick the lock option", [](StepCall& c) {
             return PickOffOn(c, Control::ComboBox4, "lock", ComboBox4Change);
         }},
        {"rolling", "on|off", "pick the rolling-code option", [](StepCall& c) {
             return PickOffOn(c, Control::ComboBox3, "rolling", ComboBox3Change);
         }},
        {"bank", "0-7|last|first", "pick a bank, or search the last used or first unused bank", PickBank},
        {"job-save", "FILE", "save what the writer holds and the selectors show as a job (FILE.otpjob, the image beside it); needs --quantity", SaveJob},
        {"testcode-read", nullptr, "read the IC's test code (menu \"Testcode > Read\")",
         [](StepCall& c) { return MenuClick(c, false, "Testcode > Read", Read1Click); }},
        {"testcode-write", nullptr, "write the body's test code into the IC (menu \"Testcode > Write\"; asks, see --yes)",
         [](StepCall& c) { return MenuClick(c, true, "Testcode > Write", Write1Click); },
         true},
    };
    return steps;
}

bool JobFixes(const StepDef& step) {
    static const std::set<std::string> fixed = {"load", "save",  "upload", "update", "body",           "lock",
                                                "rolling", "bank", "copy", "testcode-write", "job-save"};
    return fixed.count(step.name) > 0;
}

const StepDef* FindStep(const std::string& name) {
    for (const StepDef& s : AllSteps())
        if (name == s.name) return &s;
    return nullptr;
}

}  // namespace otp
