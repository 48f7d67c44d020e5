// Where a station keeps its record spool: beside its production log, else
// in the user's data folder; never the working or the install folder, which
// two stations may share, and which may be read-only or cleared.
#include <errno.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>

#include "config/WindowsText.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/PathLookup.h"
#include "record/Crc32.h"
#include "record/RecordSpool.h"

namespace otp {
namespace {

// The station's name as part of a file name: letters, digits, ".", "-" and
// "_" as they are, any other byte as %XX, so that two names never make one.
// A name too long for a file keeps its start and a CRC of the whole.
std::string SafeName(const std::string& station) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string safe;
    for (const char c : station) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' || u == '-' ||
            u == '_')
            safe += c;
        else
            safe += std::string("%") + kDigits[u >> 4] + kDigits[u & 15];
    }
    if (safe.size() > 160) safe = safe.substr(0, 150) + "-" + Crc32Hex(station);
    return safe;
}

#ifdef _WIN32
int MakeFolder(const std::string& path) { return _wmkdir(WideFromUtf8(path).c_str()); }
std::string DataFolder(std::string& why) {
    const wchar_t* base = _wgetenv(L"LOCALAPPDATA");
    if (!base || !*base) {
        why = "%LOCALAPPDATA% is not set";
        return {};
    }
    return Utf8FromWide(base) + "\\otpwriter";
}
#else
int MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0700); }
// The XDG data folder: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share.
std::string DataFolder(std::string& why) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/otpwriter";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) home = h;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    if (home.empty()) {
        why = "neither $XDG_DATA_HOME nor $HOME names a folder";
        return {};
    }
    return home + "/.local/share/otpwriter";
}
#endif

// Makes `folder` and each missing folder above it, for the user alone.
bool MakeFolders(const std::string& folder, std::string& why) {
    std::error_code ec;
    if (std::filesystem::is_directory(FsPath(folder), ec)) return true;
    const size_t slash = LastSeparator(folder);
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), why)) return false;
    if (MakeFolder(folder) != 0 && errno != EEXIST) {
        why = folder + " cannot be made: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool RecordSpoolPath(const std::string& station, const std::string& logPath, std::string& path, std::string& error) {
    std::string folder, why;
    if (!logPath.empty()) {
        const size_t slash = LastSeparator(logPath);
        folder = slash == std::string::npos ? "" : logPath.substr(0, slash == 0 || logPath[slash] == ':' ? slash + 1 : slash);
        if (!IsAbsolutePath(folder)) folder = CurrentDirectory() + (folder.empty() ? "" : "/" + folder);
    } else {
        folder = DataFolder(why);
    }
    if (folder.empty() || !MakeFolders(folder, why)) {
        error = "no folder for the record spool: " + why;
        return false;
    }
    const char last = folder.back();
    path = folder + (last == '/' || last == '\\' ? "" : "/") + "otpwriter-record-" + SafeName(station) + ".spool";
    return true;
}

}  // namespace otp
