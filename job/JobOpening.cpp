#include "job/JobOpening.h"

#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "job/Sha256.h"
#include "operations/Selectors.h"
#include "romfile/LoadRomFile.h"

namespace otp {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The item of `selector` whose text is `text`, or -1.
int ItemOf(const FormModel& form, Control selector, const std::string& text) {
    const std::vector<std::string>& items = form.Selector(selector).items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) return static_cast<int>(i);
    return -1;
}

std::string OnOffHeld(int selection) { return selection == 1 ? "on" : "off"; }

// The bank selector's item for the job's bank word.
std::string BankItem(const std::string& word) {
    if (word == "last") return "Last used";
    if (word == "first") return "1st Un-use";
    return "Bank " + word;
}

// Picks item `index` of `selector` as the operator would; the change
// handler sends it and reads back what the writer holds.
bool PickAs(Context& ctx, FormModel& form, Control selector, int index, Outcome (*change)(Context&)) {
    if (!form.Enabled(selector)) return false;
    ctx.view.SetSelection(selector, index);
    return change(ctx) == Outcome::Done;
}

}  // namespace

bool CheckJobImage(const JobFile& job, std::string& path, std::string& error) {
    path = FolderOf(job.path) + "/" + job.job.image;
    std::string bytes, why;
    if (!ReadRegularFile(path, kMaxTextFileBytes, bytes, why)) {
        error = "the job's image " + path + " cannot be read: " + why;
        return false;
    }
    const std::string digest = Sha256Hex(bytes);
    if (digest != job.job.imageSha256) {
        error = "the image " + path + " is not the job's: its SHA-256 is " + digest + ", the job wants " +
                job.job.imageSha256;
        return false;
    }
    return true;
}

bool OpenJobOnWriter(Context& ctx, FormModel& form, const JobFile& opened, std::string& difference) {
    const Job& job = opened.job;
    const auto differs = [&](const std::string& what) {
        difference = what;
        return false;
    };
    if (ctx.state.WriterVersion != job.firmware)
        return differs("the writer's firmware: it gives \"" + ctx.state.WriterVersion + "\", the job wants \"" +
                       job.firmware + "\"");
    std::string image;
    if (!CheckJobImage(opened, image, difference)) return false;
    form.openFiles.assign(1, image);
    const Outcome loaded = LoadROMFile1Click(ctx);
    form.openFiles.clear();
    if (loaded != Outcome::Done) return differs("the job's image " + image + " did not load");
    // The file read by the load is the one checked: it did not change meanwhile.
    if (!CheckJobImage(opened, image, difference)) return false;
    const std::optional<VerifiedImage>& held = ctx.link.verifiedImage;
    if (!held || held->checksum != job.checksum)
        return differs("the image's checksum: the writer holds " + (held ? held->checksum : std::string("none")) +
                       ", the job wants " + job.checksum);
    const std::string body = form.SelectedText(Control::ComboBox1);
    if (body != job.body) return differs("the body: the image gives " + body + ", the job wants " + job.body);

    const struct {
        const char* name;
        Control selector;
        Outcome (*change)(Context&);
        const std::string& wanted;
    } offOn[] = {{"lock", Control::ComboBox4, ComboBox4Change, job.lock},
                 {"rolling code", Control::ComboBox3, ComboBox3Change, job.rolling}};
    for (const auto& s : offOn) {
        const int index = s.wanted == "on" ? 1 : 0;
        // A body without the selector holds it off.
        if (!form.Enabled(s.selector) && index == 0) continue;
        if (!PickAs(ctx, form, s.selector, index, s.change) || form.Selector(s.selector).selection != index)
            return differs(std::string("the ") + s.name + ": the writer holds " +
                           OnOffHeld(form.Selector(s.selector).selection) + ", the job wants " + s.wanted);
    }
    if (!job.bank.empty()) {
        const std::string item = BankItem(job.bank);
        const int index = ItemOf(form, Control::ComboBox5, item);
        if (index < 0) return differs("the bank: the body has no \"" + item + "\", the job wants bank " + job.bank);
        const bool search = job.bank == "last" || job.bank == "first";
        // A search ends on the bank it found: only a bank number is compared.
        if (!PickAs(ctx, form, Control::ComboBox5, index, ComboBox5Change) ||
            (!search && form.Selector(Control::ComboBox5).selection != index))
            return differs("the bank: the writer holds \"" + form.SelectedText(Control::ComboBox5) +
                           "\", the job wants bank " + job.bank);
    }
    return true;
}

std::string JobTitle(const JobFile& job) { return job.job.name + " (" + job.id + ")"; }

}  // namespace otp
