#include "romfile/ChosenFile.h"

#include "config/PathLookup.h"

namespace otp {

std::string ResolveChosenPath(const std::string& workingDir, const std::string& chosen) {
    if (chosen.empty() || IsAbsolutePath(chosen) || workingDir.empty()) return chosen;
    const bool endsInSeparator = LastSeparator(workingDir) == workingDir.size() - 1;
    return workingDir + (endsInSeparator ? "" : "/") + chosen;
}

std::string BareFileName(const std::string& chosen) {
    const size_t slash = LastSeparator(chosen);
    return slash == std::string::npos ? chosen : chosen.substr(slash + 1);
}

}  // namespace otp
