#pragma once
// Paths written in the configuration use "\" and are upper-cased when read;
// on a case-sensitive file system the file is then found by its name in any case.
// Paths given on the command line or picked in a dialog are taken as the
// system writes them: on Windows with a drive ("C:\", "C:/"), a server
// ("\\server\share\") and "\" as well as "/" between folders.
#include <cstddef>
#include <filesystem>
#include <string>

namespace otp {

// The file system's path for a name as the program holds it, and the name
// of a path. Names are UTF-8 on Windows (the program's manifest makes them
// so for the C runtime), which std::filesystem's narrow names are not
// there; on POSIX systems both are the bytes as they are.
std::filesystem::path FsPath(const std::string& name);
std::string PathName(const std::filesystem::path& path);

// "\" becomes "/".
std::string ToPosixSeparators(std::string path);

// True for a path that does not start from the working directory: one that
// starts with "/"; on Windows also one that starts with "\" (a server's
// "\\server\share" among them) or a drive letter and ":".
bool IsAbsolutePath(const std::string& path);

// The position of the last separator between folders in `path` ("/"; on
// Windows also "\" and the ":" after a drive letter); npos when it has none.
size_t LastSeparator(const std::string& path);

// The path itself when it exists; otherwise, when every component can be
// matched case-insensitively to one existing entry, that entry's path; else
// the path unchanged.
std::string FindCaseInsensitive(const std::string& path);

// The process's working directory.
std::string CurrentDirectory();

}  // namespace otp
