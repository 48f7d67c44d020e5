#pragma once
// Reading a file that must be a regular file. A folder, a FIFO or a device
// never blocks and never throws; every refusal and read error comes back as
// a reason the operator can be shown.
#include <cstddef>
#include <string>

namespace otp {

// The limit for text files read whole (Writer.ini, .rom files).
inline constexpr size_t kMaxTextFileBytes = 16 * 1024 * 1024;

// Reads the whole file into `content`. False when it is not a regular file,
// holds more than `maxBytes` bytes or cannot be read; `error` then says why.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& content, std::string& error);

// The same, but reads at most the first `maxBytes` bytes and ignores the rest.
bool ReadRegularFileHead(const std::string& path, size_t maxBytes, std::string& content, std::string& error);

}  // namespace otp
