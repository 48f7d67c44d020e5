// Writer.ini on arbitrary bytes: the start-up reader, then the two ways the
// ROM file operations read it again (the body a file names, the option text
// of a saved file).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "config/TextLines.h"
#include "config/WriterIni.h"
#include "romfile/IniSections.h"
#include "view/FormModel.h"

namespace {

// A folder of its own for Writer.ini, removed when the process ends.
struct WorkDir {
    WorkDir() {
        // Under the system's temporary folder, named after the clock (tried
        // until a name is free).
        namespace fs = std::filesystem;
        const fs::path base = fs::temp_directory_path();
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int tries = 0; tries < 100 && path.empty(); ++tries, ++stamp) {
            const fs::path folder = base / ("otp-ini-fuzz-" + std::to_string(stamp));
            std::error_code ec;
            if (fs::create_directory(folder, ec)) path = folder.string();
        }
        if (path.empty()) std::abort();
    }
    ~WorkDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const WorkDir work;
    const std::string& dir = work.path;
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(dir + "/Writer.ini", std::ios::binary | std::ios::trunc);
        out << text;
    }
    auto state = std::make_unique<otp::WriterState>();
    otp::FormModel view;
    otp::ReadWriterIni(*state, view, dir);
    if (state->BodyCount < 0 || state->BodyCount > otp::kMaxBodies) std::abort();

    const auto& bodies = view.Selector(otp::Control::ComboBox1).items;
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
