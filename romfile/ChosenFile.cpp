#include "romfile/ChosenFile.h"

namespace otp {

std::string ResolveChosenPath(const std::string& workingDir, const std::string& chosen) {
    if (chosen.empty() || chosen[0] == '/' || workingDir.empty()) return chosen;
    return workingDir + (workingDir.back() == '/' ? "" : "/") + chosen;
}

std::string BareFileName(const std::string& chosen) {
    const size_t slash = chosen.rfind('/');
    return slash == std::string::npos ? chosen : chosen.substr(slash + 1);
}

}  // namespace otp
