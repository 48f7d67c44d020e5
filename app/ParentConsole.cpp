#include "app/ParentConsole.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

namespace otp {

void ReachParentConsole() {
#ifdef _WIN32
    // A pipe or a file given by the caller (a script's redirection) stays.
    const auto leadsNowhere = [](DWORD which) { return GetFileType(GetStdHandle(which)) == FILE_TYPE_UNKNOWN; };
    const bool out = leadsNowhere(STD_OUTPUT_HANDLE);
    const bool err = leadsNowhere(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // std::cout and std::cerr write through stdout and stderr.
    if (out) std::freopen("CONOUT$", "w", stdout);
    if (err) std::freopen("CONOUT$", "w", stderr);
#endif
}

}  // namespace otp
