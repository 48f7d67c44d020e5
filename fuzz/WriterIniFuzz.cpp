// Writer.ini on arbitrary bytes, from memory: the start-up reader, then the
// two ways the ROM file operations read it again (the body a file names, the
// option text of a saved file).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "config/TextLines.h"
#include "config/WriterIni.h"
#include "romfile/IniSections.h"
#include "view/FormModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // A state as the program starts with, in one allocation kept: the state
    // is large, and an allocation of that size per input is most of its cost.
    static const auto kept = std::make_unique<otp::WriterState>();
    kept->~WriterState();
    otp::WriterState* const state = new (kept.get()) otp::WriterState();
    // One window for every input, emptied of what the last one left.
    static otp::FormModel view;
    view.ClearChoices(otp::Control::ComboBox1);
    view.ClearPane(otp::Control::RichEdit1);
    view.ClearPane(otp::Control::RichEdit2);
    otp::TextLines lines(text);
    // The driver's path stays as the text gives it: a lookup would list
    // whatever folders the input names, on the disk.
    otp::ReadWriterIniLines(*state, view, "/nonexistent-working-folder", lines,
                            [](const std::string& path) { return path; });
    if (state->BodyCount < 0 || state->BodyCount > otp::kMaxBodies) std::abort();

    // Every body is looked up by the same code: one of them, chosen by the
    // input's length, stands for them all, so that an input of many bodies
    // costs no more. With the option bytes all ones, the input's masks and
    // values decide which rules hold.
    const auto& all = view.Selector(otp::Control::ComboBox1).items;
    if (all.empty()) return 0;
    const std::string& name = all[size % all.size()];
    state->OptionBytes.fill(0xFF);
    otp::TextLines lookup(text);
    const otp::IniBodyMatch m = otp::FindIniBody(lookup, name);
    if (!m.found || m.position < 0) std::abort();
    otp::TextLines opt(text);
    const std::string block = otp::CopyOptionBlock(opt, name, *state);
    if (block.size() > text.size()) std::abort();
    return 0;
}
