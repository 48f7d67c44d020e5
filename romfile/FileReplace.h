#pragma once
// Writing a file so that a failure never destroys the one it replaces.
#include <string>

namespace otp {

// Writes `bytes` into a new file beside `path` and renames it over `path`
// once every byte is on disk. On failure the temporary file is removed,
// `path` is left as it was, `error` tells why and the result is false.
// A new file gets the permissions the process's umask gives; a replaced
// one keeps its own. A `path` that is a symbolic link stays one: the file it
// leads to is replaced, or created when the link dangles.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace otp
