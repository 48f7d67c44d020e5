#include "config/WindowsFileHolder.h"

#include <windows.h>
#include <restartmanager.h>

#include <vector>

#include "config/WindowsText.h"

namespace otp {
namespace {

// An antivirus or an indexer lets go within a moment; a program that keeps
// the file does not, and is named after this.
constexpr int kTries = 11;
constexpr DWORD kPauseMs = 100;

}  // namespace

bool MayBeHeld(unsigned long code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED;
}

unsigned long RetryWhileHeld(const std::function<unsigned long()>& attempt) {
    unsigned long code = attempt();
    for (int i = 1; i < kTries && MayBeHeld(code); ++i) {
        Sleep(kPauseMs);
        code = attempt();
    }
    return code;
}

namespace {

// The programs the Restart Manager knows to hold `path`: "EXCEL.EXE
// (process 4242)"; empty when it knows none.
std::string Holders(const std::string& path) {
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) return {};
    std::string holders;
    const std::wstring wide = WideFromUtf8(path);
    LPCWSTR files[] = {wide.c_str()};
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        RmGetList(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed > 0) {
        std::vector<RM_PROCESS_INFO> info(needed);
        count = needed;
        if (RmGetList(session, &needed, &count, info.data(), &reasons) == ERROR_SUCCESS) {
            for (UINT i = 0; i < count; ++i)
                holders += (i ? ", " : "") + Utf8FromWide(info[i].strAppName) + " (process " +
                           std::to_string(info[i].Process.dwProcessId) + ")";
        }
    }
    RmEndSession(session);
    return holders;
}

}  // namespace

std::string HeldFileReason(unsigned long code, const std::string& path) {
    const std::string reason = SystemReason(code);
    if (!MayBeHeld(code)) return reason;
    const std::string holders = Holders(path);
    if (!holders.empty()) return reason + ": " + holders + " has it open";
    if (code == ERROR_ACCESS_DENIED) return reason + " (is it read-only, or open in another program?)";
    return reason + " (it is open in another program: a spreadsheet, an antivirus or an indexer?)";
}

}  // namespace otp
