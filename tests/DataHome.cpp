// Every test process keeps what the programs put in the user's data folder
// (a station's record spool when no log is named) in a folder of its own:
// tests running at once never meet in one spool, and the user's own folder
// is left alone.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace {

const std::string& DataHome() {
    static const std::string folder = otp::test::MakeTempFolder("otpwriter-data-");
    return folder;
}

const bool kDataHomeSet = [] {
#ifdef _WIN32
    _putenv_s("LOCALAPPDATA", DataHome().c_str());
#else
    setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
#endif
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(DataHome(), ec);
    });
    return true;
}();

}  // namespace
