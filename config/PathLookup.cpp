#include "config/PathLookup.h"

#include <filesystem>
#include <system_error>

#include "config/IniText.h"

namespace fs = std::filesystem;

namespace otp {

fs::path FsPath(const std::string& name) { return fs::u8path(name); }

std::string PathName(const fs::path& path) { return path.u8string(); }

std::string ToPosixSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool IsAbsolutePath(const std::string& path) {
    if (path.empty()) return false;
#ifdef _WIN32
    if (path[0] == '\\') return true;
    const char drive = path[0];
    if (path.size() >= 2 && path[1] == ':' && ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')))
        return true;
#endif
    return path[0] == '/';
}

size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) return slash;
    return path.size() >= 2 && path[1] == ':' && IsAbsolutePath(path) ? 1 : std::string::npos;
#else
    return path.rfind('/');
#endif
}

std::string FindCaseInsensitive(const std::string& path) {
    std::error_code ec;
    if (path.empty() || fs::exists(FsPath(path), ec)) return path;
    const fs::path wanted = FsPath(path);
    fs::path found = wanted.has_root_path() ? wanted.root_path() : fs::path(".");
    bool relative = !wanted.has_root_path();
    for (const auto& part : wanted.relative_path()) {
        const std::string name = PathName(part);
        if (name.empty() || name == "." || name == "..") {
            found /= part;
            continue;
        }
        fs::path next = found / part;
        if (!fs::exists(next, ec)) {
            bool matched = false;
            for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
                if (UpperCase(PathName(it->path().filename())) == UpperCase(name)) {
                    next = it->path();
                    matched = true;
                    break;
                }
            }
            if (!matched) return path;
        }
        found = next;
    }
    std::string result = PathName(found);
    if (relative && result.rfind("./", 0) == 0) result.erase(0, 2);
#ifdef _WIN32
    // The separator Windows puts between the parts it joins.
    if (relative && result.rfind(".\\", 0) == 0) result.erase(0, 2);
#endif
    return result;
}

std::string CurrentDirectory() {
    std::error_code ec;
    const fs::path p = fs::current_path(ec);
    return ec ? std::string(".") : PathName(p);
}

}  // namespace otp
