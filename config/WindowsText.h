#pragma once
// Between the program's UTF-8 names and Windows' wide ones, and the system's
// own words for its error codes. Defined in the Windows build only: every
// name the program holds is UTF-8, whatever code page the process runs in.
#include <string>
#include <vector>

namespace otp {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// The C runtime's _wopen on a UTF-8 name.
int OpenUtf8(const std::string& path, int flags, int mode = 0);
// What Windows says for one of its error codes, without the closing dot and
// line end; "error N" when it has nothing to say.
std::string SystemReason(unsigned long code);
// The arguments after the program's name in a wide command line, as UTF-8.
std::vector<std::string> ArgumentsOf(const std::wstring& commandLine);
// The program's arguments as UTF-8: argv where the process's code page is
// UTF-8 (the manifest sets it from Windows 10 1903 on), else the wide
// command line, which holds every name whatever the code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace otp
