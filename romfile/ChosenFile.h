#pragma once
// The file an operator picked in a file dialog.
#include <string>

namespace otp {

// A relative pick is taken from the working directory.
std::string ResolveChosenPath(const std::string& workingDir, const std::string& chosen);

// The name without its folder, as Edit2 shows it.
std::string BareFileName(const std::string& chosen);

}  // namespace otp
