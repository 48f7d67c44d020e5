#pragma once
// SHA-256 (FIPS 180-4): a job names its image by this digest, so that the
// file a line loads is the one the engineer chose, whatever its name.
#include <cstdint>
#include <string>

namespace otp {

// The 32 bytes of the digest of `bytes`.
std::string Sha256(const std::string& bytes);
// The digest as 64 lower-case hex digits, as sha256sum prints it.
std::string Sha256Hex(const std::string& bytes);

}  // namespace otp
