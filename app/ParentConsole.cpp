#include "app/ParentConsole.h"

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <iostream>
#endif

namespace otp {

void ReachParentConsole() {
#ifdef _WIN32
    // A pipe or a file given by the caller (a script's redirection) stays.
    const auto leadsNowhere = [](DWORD which) { return GetFileType(GetStdHandle(which)) == FILE_TYPE_UNKNOWN; };
    const bool out = leadsNowhere(STD_OUTPUT_HANDLE);
    const bool err = leadsNowhere(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // The C runtime set its standard streams up on nothing, and freopen will
    // not reopen those, so the C++ streams get a file of their own on the
    // console. It is never destroyed: the streams are flushed at exit.
    static auto* console = new std::ofstream("CONOUT$");
    if (!*console) return;
    if (out) std::cout.rdbuf(console->rdbuf());
    if (err) std::cerr.rdbuf(console->rdbuf());
#endif
}

}  // namespace otp
