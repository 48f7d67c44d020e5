#pragma once
// The fixture of the end-to-end tests in real time: writer-emulator on a
// pseudo-terminal in a fresh folder, and the console front end run in that
// folder with COM1 on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CliSupport.h"

namespace otp::test {

inline const std::string kWriterEmulator = OTP_BINARY_DIR "/writer-emulator";

class EmulatorOnPtyTest : public ::testing::Test {
protected:
    TempDir dir;
    ChildProcess emulator;
    std::string link;

    // Starts writer-emulator with `options` besides --link and waits until
    // it names its device.
    void StartEmulator(const std::vector<std::string>& options) {
        link = dir.file("ttyWriter");
        std::vector<std::string> args = {"--link", link};
        for (const std::string& option : options) args.push_back(option);
        ASSERT_TRUE(emulator.Start(kWriterEmulator, args));
        ASSERT_EQ(emulator.ReadLine().rfind("/dev/", 0), 0u);
        emulator.Favour();
    }

    void TearDown() override {
        emulator.Say("quit\n");
        EXPECT_EQ(emulator.WaitExit(), 0);
    }

    // Runs the console front end in the test's folder, COM1 on the emulator.
    CliRun Cli(const std::string& args) { return RunCliProgram(dir.path(), link, args); }
};

}  // namespace otp::test
