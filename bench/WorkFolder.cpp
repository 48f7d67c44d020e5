#include "bench/WorkFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/Plan.h"
#include "emulator/WriterEmulator.h"

namespace otp::bench {
namespace {

constexpr size_t kVersionBytes = 8;

// A firmware file of a 1024-byte head (not sent) and a 2048-byte body. The
// body starts with the version bytes a factory writer holds, so the writer
// keeps its version after the update.
bool WriteFirmware(const std::string& path) {
    const emu::WriterEmulator factory;
    std::string bytes(1024, '\xFF');
    for (int i = 0; i < 2048; ++i) {
        const size_t k = static_cast<size_t>(i);
        bytes.push_back(static_cast<char>(k < kVersionBytes ? factory.Memory()[emu::WriterEmulator::kVersionAddr + k]
                                                            : (i * 37 + 11) & 0xFF));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

WorkFolder::WorkFolder(const std::string& examplesDir) {
    namespace fs = std::filesystem;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/otpwriter-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error_ = "cannot make a folder like " + pattern;
        return;
    }
    path_ = pattern;
    std::error_code ec;
    for (const char* name : {"Writer.ini", kRomFile}) {
        fs::copy_file(fs::path(examplesDir) / name, fs::path(path_) / name, ec);
        if (ec) {
            error_ = "cannot copy " + examplesDir + "/" + name + ": " + ec.message();
            return;
        }
    }
    if (!WriteFirmware(File(kFirmwareFile))) error_ = "cannot write " + File(kFirmwareFile);
}

WorkFolder::~WorkFolder() {
    if (path_.empty() || keep_) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace otp::bench
