// A production line in real time: writer-emulator on a pseudo-terminal, the
// console front end on its serial code, and a person putting the next chip
// into the socket through the emulator's standard input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CliSupport.h"
#include "LargeImage.h"
#include "TinyBody.h"
#include "cli/InterruptCatcher.h"

using otp::test::CliRun;
using otp::test::RunCliProgram;

namespace {

const char kEmulator[] = OTP_BINARY_DIR "/writer-emulator";
using otp::test::kIni;
using otp::test::RomText;

// writer-emulator as a child; a line on its input is answered with one line.
class Emulator : public otp::test::ChildProcess {
public:
    bool Start(const std::vector<std::string>& args) { return ChildProcess::Start(kEmulator, args); }
    std::string Command(const std::string& line) {
        ChildProcess::Say(line + "\n");
        return line == "quit" ? std::string() : ReadLine();
    }
};

class OtpEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Writer.ini", kIni);
        dir.Write("x.rom", RomText());
    }
    otp::test::TempDir dir;
    std::string link() const { return dir.file("ttyWriter"); }
};

}  // namespace

TEST_F(OtpEndToEnd, AProductionRunPassesOnABlankIcAndTheSameIcThenFailsTheBlankCheck) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "blank"}));
    ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);

    CliRun run = RunCliProgram(dir.path(), link(), "load x.rom auto");
    EXPECT_EQ(run.status, 0);
    ASSERT_GE(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[run.lines.size() - 3], "  -----> OTP Program Finish !!!");
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");
    EXPECT_TRUE(run.Has("  -----> OTP Blank Check OK !!!"));

    run = RunCliProgram(dir.path(), link(), "auto");
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "  -----> OTP Blank Check Fail !!!");
    EXPECT_EQ(run.verdict, "FAIL: OTP Blank Check Fail !!!");
    EXPECT_FALSE(run.Has("Programming ................"));

    // The operator puts the next chip in; the writer still holds the image.
    EXPECT_EQ(emu.Command("status"), "socket: programmed; body 00; banks used: 0; test code: FFFF FFFF; next rolling code: 0100");
    EXPECT_EQ(emu.Command("ic blank"), "socket: blank; body any; banks used: none; test code: FFFF FFFF; next rolling code: 0100");
    run = RunCliProgram(dir.path(), link(), "auto verify");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");

    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, EachSocketStateGivesItsFailure) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "none", "--no-pacing"}));
    ASSERT_FALSE(emu.ReadLine().empty());

    // The writer takes the configured body first; the ICs put in later belong to it.
    CliRun run = RunCliProgram(dir.path(), link(), "body 0 read");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Command("ic wrong-body");
    run = RunCliProgram(dir.path(), link(), "--keep-going blank read");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Has("  -----> OTP Blank Check Fail !!!"));
    EXPECT_EQ(run.lines.back(), "  -----> IC Body code (Test code) compare error !!!");

    emu.Command("ic locked");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> Master OTP has been Lock !!!");

    emu.Command("ic fault");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Command("ic programmed");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.Has("Receiver Data Length = 64 bytes"));

    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, TheSocketOptionIsCheckedAndDescribed) {
    Emulator bad;
    ASSERT_TRUE(bad.Start({"--ic", "purple"}));
    EXPECT_EQ(bad.ReadAll(), "");
    EXPECT_EQ(bad.WaitExit(), 2);

    Emulator help;
    ASSERT_TRUE(help.Start({"--help"}));
    const std::string text = help.ReadAll();
    EXPECT_EQ(help.WaitExit(), 0);
    for (const char* word : {"--ic KIND", "wrong-body", "fault", "ic KIND", "status"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}

// The built programs on a pseudo-terminal with a misbehaving writer: each
// failure gives a clear line and exit status 1, never an OK, and no file is
// touched by a step that did not run.
TEST_F(OtpEndToEnd, AMisbehavingWriterNeverGivesASuccess) {
    struct Case {
        const char* name;
        std::vector<std::string> emulator;  // writer-emulator options besides --link
        std::string cli;
        std::vector<std::string> mustShow;
        std::string mustNotShow;
    };
    // The start-up reads four blocks (W#1-W#4); the steps' reads follow. Upload
    // reads the body description (W#5, W#6) and the option bytes (W#7, W#8)
    // twice before the image.
    const Case cases[] = {
        {"writer dies during Upload: image kept, save refused", {"--fault", "W#9:die=30"}, "upload save out.rom",
         {"  -----> Upload error: ", "otpwriter-cli: step 'upload' failed; not run: save out.rom"},
         "Data save to [out.rom] OK !!!"},
        // Late enough to come after the Verify's wait has ended.
        {"a late blank-check status never answers the next Verify", {"--fault", "c:late=1000", "--fault", "g:silent"},
         "--keep-going blank verify", {"  -----> OTP Verify Fail !!!"}, "  -----> OTP Verify OK !!!"},
        {"a flood answering Program never shows the previous OK", {"--no-pacing", "--fault", "e:flood=9000"},
         "--keep-going blank program", {"  -----> OTP Blank Check OK !!!", "  -----> OTP Verify Fail !!!"},
         "  -----> OTP Verify OK !!!"},
        {"writer gone while programming: Auto fails", {"--fault", "e:die"}, "load x.rom auto",
         {"  -----> OTP Verify Fail !!!"}, "  -----> OTP Verify OK !!!"},
        {"a truncated .rom is not loaded, and Auto does not run", {}, "load cut.rom auto",
         {"Confirm: The ROM file [cut.rom] is damaged (the data section ends without its CHECKSUM line): load it "
          "anyway? -> no (--load-damaged loads it anyway)",
          "otpwriter-cli: step 'load cut.rom' was refused; not run: auto"},
         "Auto Command execution ................"},
    };
    const std::string rom = RomText();
    dir.Write("cut.rom", rom.substr(0, rom.find("0020 ")));
    dir.Write("out.rom", "an older file\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Emulator emu;
        std::vector<std::string> args = {"--link", link()};
        args.insert(args.end(), c.emulator.begin(), c.emulator.end());
        ASSERT_TRUE(emu.Start(args));
        ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);
        const CliRun run = RunCliProgram(dir.path(), link(), c.cli);
        EXPECT_EQ(run.status, 1) << run.out;
        // A line that ends in a blank is the start of one.
        for (const std::string& line : c.mustShow)
            EXPECT_TRUE(run.Has(line) || (line.back() == ' ' && run.out.find("\n" + line) != std::string::npos))
                << line << "\n" << run.out;
        EXPECT_FALSE(run.Has(c.mustNotShow)) << run.out;
        emu.Command("quit");
        EXPECT_EQ(emu.WaitExit(), 0);
    }
    EXPECT_EQ(dir.Read("out.rom"), "an older file\r\n");
    // No temporary file is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// A closed output is no reason to die in the middle of a run.
TEST_F(OtpEndToEnd, AClosedOutputEndsTheRunWithStatusOne) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    close(out[0]);  // nobody will ever read what the program writes
    const std::string errFile = dir.file("err.txt");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        std::freopen(errFile.c_str(), "w", stderr);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        execl(OTP_BINARY_DIR "/otpwriter-cli", "otpwriter-cli", "--demo", "version", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(dir.Read("err.txt"),
              "otpwriter-cli: the output can not be written; not run: version\nFAIL: the output can not be written\n");
}

// Started with standard input, output or error closed, the program must not
// hand that descriptor to the port or the log: its text would go to the
// writer as commands (and program the chip), or its messages into the log.
TEST_F(OtpEndToEnd, AClosedStandardDescriptorIsNeitherThePortNorTheLog) {
    for (const int closed : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        SCOPED_TRACE("descriptor " + std::to_string(closed) + " closed");
        Emulator emu;
        ASSERT_TRUE(emu.Start({"--link", link()}));
        ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);
        std::filesystem::remove(dir.file("log.csv"));
        const std::string outFile = dir.file("out.txt"), errFile = dir.file("err.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            std::freopen(outFile.c_str(), "w", stdout);
            std::freopen(errFile.c_str(), "w", stderr);
            close(closed);
            if (chdir(dir.path().c_str()) != 0 || setenv("OTPWRITER_COM1", link().c_str(), 1) != 0) _exit(126);
            execl(OTP_BINARY_DIR "/otpwriter-cli", "otpwriter-cli", "--log", "log.csv", "load", "x.rom", "blank",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << dir.Read("err.txt");
        const std::vector<std::string> log = otp::test::Lines(dir.Read("log.csv"));
        EXPECT_EQ(log.size(), 2u) << dir.Read("log.csv");
        const std::string row = log.size() == 2 ? log[1] : std::string();
        EXPECT_NE(row.find(",blank,TINY64,x.rom,"), std::string::npos) << row;
        EXPECT_NE(row.find(",pass,"), std::string::npos) << row;
        EXPECT_TRUE(closed == STDOUT_FILENO || otp::test::HasLine(dir.Read("out.txt"), "  -----> OTP Blank Check OK !!!"));
        EXPECT_TRUE(closed == STDERR_FILENO || dir.Read("err.txt") == "PASS\n") << dir.Read("err.txt");
        // A blank check leaves the chip blank.
        EXPECT_EQ(emu.Command("status").rfind("socket: blank;", 0), 0u);
        emu.Command("quit");
        EXPECT_EQ(emu.WaitExit(), 0);
    }
}

// The largest word image over a line at 9600 baud: the stream outruns the
// line by seconds, and the read-back must wait until the line has caught up;
// then the chip is programmed and read whole.
TEST_F(OtpEndToEnd, TheLargestWordImageLoadsProgramsAndReadsOverAPacedLine) {
    dir.Write("Writer.ini", otp::test::LargeImageIni());
    dir.Write("big.rom", otp::test::LargeImageRom("BIGW", false, otp::test::kLargestWordImage));
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link()}));
    ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);
    const CliRun run = RunCliProgram(dir.path(), link(), "load big.rom auto read");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(run.Has("  -----> OTP Verify OK !!!")) << run.out;
    EXPECT_EQ(run.lines.back(), "Object Checksum = 239C") << run.out;
    EXPECT_EQ(run.out.find("error"), std::string::npos) << run.out;
    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

// The chip loop as a technician runs it: the emulator's operator puts each
// chip in, the console waits for Enter, one chip is a used one, and Ctrl-C
// while it waits ends the run with the totals.
TEST_F(OtpEndToEnd, AChipLoopCountsEveryChipAndCtrlCEndsItWithTheTotals) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--no-pacing"}));
    ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);
    otp::test::ChildProcess cli;
    ASSERT_TRUE(cli.Start("/bin/sh",
                          {"-c", "cd '" + dir.path() + "' && OTPWRITER_COM1='" + link() + "' exec " + otp::test::FavouredCommand() + "'" OTP_BINARY_DIR
                                 "/otpwriter-cli' --log run.csv load x.rom loop auto"},
                          true));
    const auto chipLine = [&cli] {
        for (int i = 0; i < 10; ++i) {
            const std::string line = cli.ReadErrorLine(30000);
            if (line.rfind("chip ", 0) == 0) return line;
        }
        return std::string("no chip line");
    };
    EXPECT_EQ(chipLine(), "chip 1: PASS (passed 1, failed 0, yield 100.0 %)");
    const struct {
        const char* ic;
        const char* verdict;
    } chips[] = {
        {"blank", "chip 2: PASS (passed 2, failed 0, yield 100.0 %)"},
        {"programmed", "chip 3: FAIL: OTP Blank Check Fail !!! (passed 2, failed 1, yield 66.7 %)"},
        {"blank", "chip 4: PASS (passed 3, failed 1, yield 75.0 %)"},
    };
    for (const auto& chip : chips) {
        emu.Command(std::string("ic ") + chip.ic);
        cli.Say("\n");
        EXPECT_EQ(chipLine(), chip.verdict);
    }
    usleep(300000);  // the prompt for chip 5 is waiting for Enter
    cli.Signal(SIGINT);
    std::string rest;
    for (std::string line; line.rfind("FAIL: ", 0) != 0 && line != "PASS";) rest += (line = cli.ReadErrorLine(10000)) + "\n";
    EXPECT_NE(rest.find("Chips: 4 (passed 3, failed 1, yield 75.0 %)\notpwriter-cli: interrupted by SIGINT\n"
                        "FAIL: OTP Blank Check Fail !!!\n"),
              std::string::npos)
        << rest;
    EXPECT_EQ(cli.WaitExit(10000), 1);
    EXPECT_EQ(otp::test::Lines(dir.Read("run.csv")).size(), 5u);
    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

// SIGINT, SIGTERM or SIGHUP during a step: the operation under way finishes
// and its row is written, then the run stops with status 1 and says why; a
// firmware update is never cut short, however often the signal comes.
TEST_F(OtpEndToEnd, ASignalStopsTheRunOnlyOnceTheOperationUnderWayIsRecorded) {
    std::string ini = kIni;
    ini.insert(ini.find("IC_BODY_START"), "WRITER_DRIVER writer.bin\n");
    dir.Write("Writer.ini", ini);
    dir.Write("writer.bin", std::string(1024 + 2048, '\x5A'));
    const std::string stops = ": the run stops after the step under way";
    const std::string mustFinish =
        ": the firmware update must finish first, and the writer must stay switched on; the run stops after it";
    const struct {
        int sig;
        std::string args;
        std::string after;  // the pane line the signals follow
        int times;
        std::string said;   // what each signal is answered
        std::string outHas;
        std::vector<std::string> errEnd;
        size_t logLines;
    } rows[] = {
        {SIGTERM, "--log p.csv load x.rom program", "Programming ................", 1, stops, "  -----> OTP Program Finish !!!",
         {"otpwriter-cli: interrupted by SIGTERM", "FAIL: interrupted by SIGTERM"}, 2},
        {SIGINT, "--log p.csv load x.rom program verify", "Programming ................", 1, stops,
         "  -----> OTP Program Finish !!!",
         {"otpwriter-cli: interrupted by SIGINT; not run: verify", "FAIL: interrupted by SIGINT"}, 2},
        {SIGHUP, "--log p.csv load x.rom loop auto", "Programming ................", 1,
         ": the run stops after the chip under way, if any", "  -----> OTP Verify OK !!!",
         {"chip 1: PASS (passed 1, failed 0, yield 100.0 %)", "Chips: 1 (passed 1, failed 0, yield 100.0 %)",
          "otpwriter-cli: interrupted by SIGHUP", "FAIL: interrupted by SIGHUP"},
         2},
        {SIGINT, "--yes update version", "Total send 2048 bytes", 2, mustFinish, "Receiver Data Length = 2048 bytes",
         {"otpwriter-cli: interrupted by SIGINT; not run: version", "FAIL: interrupted by SIGINT"}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        std::filesystem::remove(dir.file("p.csv"));
        Emulator emu;
        ASSERT_TRUE(emu.Start({"--link", link()}));
        ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);
        otp::test::ChildProcess cli;
        ASSERT_TRUE(cli.Start("/bin/sh",
                              {"-c", "cd '" + dir.path() + "' && OTPWRITER_COM1='" + link() + "' exec " + otp::test::FavouredCommand() +
                                     "'" OTP_BINARY_DIR "/otpwriter-cli' " + row.args + " 2>err.txt"}));
        std::string out;
        for (std::string line; line != row.after;) {
            line = cli.ReadLine(30000);
            out += line + "\n";
            ASSERT_TRUE(cli.Running()) << out;
        }
        for (int i = 0; i < row.times; ++i) {
            cli.Signal(row.sig);
            usleep(100000);
        }
        out += cli.ReadAll(30000);
        EXPECT_EQ(cli.WaitExit(30000), 1) << out;
        EXPECT_TRUE(otp::test::HasLine(out, row.outHas)) << out;
        const std::vector<std::string> err = otp::test::Lines(dir.Read("err.txt"));
        const std::string said = "otpwriter-cli: " + otp::SignalName(row.sig) + row.said;
        EXPECT_EQ(std::count(err.begin(), err.end(), said), row.times) << dir.Read("err.txt");
        ASSERT_GE(err.size(), row.errEnd.size());
        EXPECT_EQ(std::vector<std::string>(err.end() - static_cast<long>(row.errEnd.size()), err.end()), row.errEnd)
            << dir.Read("err.txt");
        const std::vector<std::string> log = otp::test::Lines(dir.Read("p.csv"));
        ASSERT_EQ(log.size(), row.logLines);
        if (row.logLines > 1) {
            EXPECT_NE(log[1].find(",pass,"), std::string::npos) << log[1];
        }
        emu.Command("quit");
        EXPECT_EQ(emu.WaitExit(), 0);
    }
}
