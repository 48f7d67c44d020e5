// Writer.ini on arbitrary bytes, from memory: the start-up reader, then the
// two ways the ROM file operations read it again (the body a file names, the
// option text of a saved file).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/TextLines.h"
#include "config/WriterIni.h"
#include "romfile/IniSections.h"
#include "view/FormModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto state = std::make_unique<otp::WriterState>();
    otp::FormModel view;
    otp::TextLines lines(text);
    otp::ReadWriterIniLines(*state, view, "/nonexistent-working-folder", lines);
    if (state->BodyCount < 0 || state->BodyCount > otp::kMaxBodies) std::abort();

    // Every body is looked up by the same code: the first three and the last
    // stand for them all, so that an input of many bodies costs no more.
    const auto& all = view.Selector(otp::Control::ComboBox1).items;
    std::vector<std::string> bodies(all.begin(), all.begin() + static_cast<long>(std::min<size_t>(all.size(), 3)));
    if (all.size() > 3) bodies.push_back(all.back());
    for (const std::string& name : bodies) {
        otp::TextLines lookup(text);
        const otp::IniBodyMatch m = otp::FindIniBody(lookup, name);
        if (!m.found || m.position < 0) std::abort();
        for (int b = 0; b < 2; ++b) {
            state->OptionBytes.fill(static_cast<uint8_t>(b ? 0xFF : 0x00));
            otp::TextLines opt(text);
            const std::string block = otp::CopyOptionBlock(opt, name, *state);
            if (block.size() > text.size()) std::abort();
        }
    }
    return 0;
}
