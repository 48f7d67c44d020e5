#pragma once
// A file another program holds open on Windows (an antivirus or an indexer
// for a moment, a spreadsheet showing the production log for as long as it
// is open) refuses to be replaced or written. Defined in the Windows build
// only.
#include <functional>
#include <string>

namespace otp {

// Whether a Windows error code may mean that another program holds the
// file: a sharing or lock violation, or access denied (which a replace of a
// file open elsewhere gets).
bool MayBeHeld(unsigned long code);

// Runs `attempt` (which returns 0 on success, else the Windows error code)
// again while the file may be held, for about a second; returns the last
// code.
unsigned long RetryWhileHeld(const std::function<unsigned long()>& attempt);

// Why `path` could not be had, in Windows' words, and for a file that may be
// held who holds it: "...: EXCEL.EXE (process 4242) has it open", or a
// hint at the usual holders when the system does not say.
std::string HeldFileReason(unsigned long code, const std::string& path);

}  // namespace otp
