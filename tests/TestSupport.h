#pragma once
// Shared test helpers: a temporary working directory and file writing, and
// what the tests need of the system where POSIX systems and Windows differ.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace otp::test {

#ifdef _WIN32
inline constexpr bool kWindows = true;
// A device that is no file (reads as nothing, takes every write).
inline const std::string kCharacterDevice = "NUL";
#else
inline constexpr bool kWindows = false;
inline const std::string kCharacterDevice = "/dev/zero";
#endif

// Makes a FIFO; false where the system has none a path can name (Windows).
inline bool MakeFifo(const std::string& path) {
#ifdef _WIN32
    static_cast<void>(path);
    return false;
#else
    return mkfifo(path.c_str(), 0600) == 0;
#endif
}

// Whether taking a file's read or write permission away keeps this process
// out: not for root, and not on Windows, whose permission bits only mark a
// file read-only.
inline bool PermissionsKeepUsOut() {
#ifdef _WIN32
    return false;
#else
    return geteuid() != 0;
#endif
}

// A new, empty folder of this process's own under the system's temporary
// folder, named `prefix` and six random characters; empty when none could
// be made.
inline std::string MakeTempFolder(const std::string& prefix) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::minstd_rand random(static_cast<unsigned>(std::random_device{}()) ^
                            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);  // "C:\\...\\Temp" on Windows
    if (ec) return {};
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) name += kChars[random() % (sizeof kChars - 1)];
        const std::filesystem::path folder = base / name;
        if (std::filesystem::create_directory(folder, ec)) return folder.u8string();  // UTF-8, as the program's names
        if (ec) return {};
    }
    return {};
}

class TempDir {
public:
    TempDir() : path_(MakeTempFolder("otpwriter-test-")) {}
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream out(file(name), std::ios::binary);
        out << content;
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

// Sets the zone the C library's local time follows; nullptr: the system's.
inline void SetTimeZone(const char* tz) {
#ifdef _WIN32
    _putenv_s("TZ", tz ? tz : "");
    _tzset();
#else
    if (tz) setenv("TZ", tz, 1);
    else unsetenv("TZ");
    tzset();
#endif
}

inline std::string SourcePath(const std::string& relative) { return std::string(OTP_SOURCE_DIR) + "/" + relative; }

}  // namespace otp::test
