#pragma once
// Paths written in the configuration use "\" and are upper-cased when read;
// on a case-sensitive file system the file is then found by its name in any case.
#include <string>

namespace otp {

// "\" becomes "/".
std::string ToPosixSeparators(std::string path);

// The path itself when it exists; otherwise, when every component can be
// matched case-insensitively to one existing entry, that entry's path; else
// the path unchanged.
std::string FindCaseInsensitive(const std::string& path);

// The process's working directory.
std::string CurrentDirectory();

}  // namespace otp
