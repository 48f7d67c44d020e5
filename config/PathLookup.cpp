#include "config/PathLookup.h"

#include <filesystem>
#include <system_error>

#include "config/IniText.h"

namespace fs = std::filesystem;

namespace otp {

std::string ToPosixSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string FindCaseInsensitive(const std::string& path) {
    std::error_code ec;
    if (path.empty() || fs::exists(path, ec)) return path;
    const fs::path wanted(path);
    fs::path found = wanted.has_root_path() ? wanted.root_path() : fs::path(".");
    bool relative = !wanted.has_root_path();
    for (const auto& part : wanted.relative_path()) {
        const std::string name = part.string();
        if (name.empty() || name == "." || name == "..") {
            found /= part;
            continue;
        }
        fs::path next = found / part;
        if (!fs::exists(next, ec)) {
            bool matched = false;
            for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
                if (UpperCase(it->path().filename().string()) == UpperCase(name)) {
                    next = it->path();
                    matched = true;
                    break;
                }
            }
            if (!matched) return path;
        }
        found = next;
    }
    std::string result = found.string();
    if (relative && result.rfind("./", 0) == 0) result.erase(0, 2);
    return result;
}

std::string CurrentDirectory() {
    std::error_code ec;
    const fs::path p = fs::current_path(ec);
    return ec ? std::string(".") : p.string();
}

}  // namespace otp
