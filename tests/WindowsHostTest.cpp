// The console front end and its files on Windows (Windows builds only): the
// console's Ctrl-C, Ctrl-Break and closing, arguments outside ASCII whatever
// the code page, and files another program holds open.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "TestSupport.h"
#include "cli/InterruptCatcher.h"
#include "config/WindowsText.h"
#include "production/ProductionLog.h"
#include "romfile/FileReplace.h"

using namespace otp;

TEST(WindowsHost, ConsoleEventsStopTheRunAfterTheStepUnderWay) {
    const struct {
        DWORD event;
        bool goesOn;  // the handler keeps the program running
        const char* name;
    } rows[] = {
        {CTRL_C_EVENT, true, "Ctrl-C"},
        {CTRL_BREAK_EVENT, true, "Ctrl-Break"},
        {CTRL_CLOSE_EVENT, false, "the console's closing"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const InterruptCatcher catcher(false);
        EXPECT_EQ(InterruptCatcher::OnConsoleEvent(row.event), row.goesOn);
        EXPECT_EQ(SignalName(InterruptCatcher::Caught()), row.name);
        // A second one during a firmware update neither ends it nor changes what stopped the run.
        const InterruptCatcher::MustFinish update(true);
        EXPECT_TRUE(InterruptCatcher::OnConsoleEvent(CTRL_C_EVENT));
        EXPECT_EQ(SignalName(InterruptCatcher::Caught()), row.name);
    }
}

TEST(WindowsHost, ArgumentsComeAsUtf8FromTheWideCommandLine) {
    const struct {
        std::wstring line;
        std::vector<std::string> args;
    } rows[] = {
        {L"otpwriter-cli.exe", {}},
        {L"otpwriter-cli.exe load \"Gr\u00f6\u00dfe \u00fc.rom\" auto",
         {"load", "Gr\xc3\xb6\xc3\x9f" "e \xc3\xbc.rom", "auto"}},
        {L"\"C:\\Program Files\\otpwriter\\otpwriter-cli.exe\" --log C:\\runs\\\u65e5.csv",
         {"--log", "C:\\runs\\\xe6\x97\xa5.csv"}},
    };
    for (const auto& row : rows) EXPECT_EQ(ArgumentsOf(row.line), row.args);
}

// An antivirus or an indexer holds a file for a moment, a spreadsheet for as
// long as it shows it: the save's replace and the log's open try again for
// about a second, then name who holds the file.
TEST(WindowsHost, AFileAnotherProgramHoldsIsTriedAgainThenItsHolderIsNamed) {
    const auto save = [](const std::string& path, std::string& error) {
        return ReplaceFileContents(path, "new", error);
    };
    const auto openLog = [](const std::string& path, std::string& error) {
        return ProductionLog::Open(path, error) != nullptr;
    };
    const struct {
        const char* name;
        bool (*attempt)(const std::string&, std::string&);
        int heldMs;  // -1: for as long as the attempt takes
        bool ok;
    } rows[] = {
        {"the save, a moment", +save, 300, true},
        {"the save, throughout", +save, -1, false},
        {"the log, a moment", +openLog, 300, true},
        {"the log, throughout", +openLog, -1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        // A log this program wrote: one of other columns would be refused for them.
        dir.Write("held.csv", CsvHeader() + "\r\n");
        const std::string path = dir.file("held.csv");
        const HANDLE held = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        std::thread release;
        if (row.heldMs >= 0)
            release = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.heldMs));
                CloseHandle(held);
            });
        std::string error;
        EXPECT_EQ(row.attempt(path, error), row.ok) << error;
        if (release.joinable()) release.join();
        else CloseHandle(held);
        if (!row.ok) {
            EXPECT_TRUE(error.find("has it open") != std::string::npos ||
                        error.find("open in another program") != std::string::npos)
                << error;
        }
    }
}
