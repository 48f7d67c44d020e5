// The console front end's production run: the chip loop, its counts and
// stops, the production log, and the closing verdict line.
#include <gtest/gtest.h>

#include "CliSupport.h"
#include "RomFixture.h"
#include "config/PathLookup.h"
#include "emulator/IcAccess.h"

using namespace otp;

namespace {

struct LoopRun {
    int status;
    std::string err;
    std::vector<std::string> log;
};

// One run in-process on a demo writer with a blank chip, on test time;
// `answers` is what the operator types; `fresh` puts a blank chip in at
// every Enter, as --demo does.
LoopRun RunLoop(const std::vector<std::string>& args, const std::string& answers, bool fresh) {
    test::TempDir dir;
    dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
    dir.Write("demo.rom", test::ReadSource("examples/demo-rx4400.rom"));
    VirtualPacer pacer;
    auto opener = emu::MakeDemoOpener(pacer);
    std::ostringstream out, err;
    std::istringstream in(answers);
    CliEnvironment env{out, err, dir.path()};
    env.opener = opener.get();
    env.pacer = &pacer;
    env.in = &in;
    if (fresh) env.freshChip = [&opener] { emu::PutInSocket(opener->Writer(), emu::IcKind::Blank); };
    LoopRun run{RunCli(args, env), err.str(), {}};
    for (const std::string& line : test::Lines(dir.Read("run.csv"))) run.log.push_back(line);
    return run;
}

const std::string kPrompt = "Put the next chip in the socket and press Enter (q and Enter to stop): ";
const std::string kNotice = "Morvik OTP Writer Version 2: ";
const std::string kNotVerified =
    "The writer's image is not verified (a load, copy or update did not end well, or the start-up did not read it): "
    "load the ROM file again !!!";

}  // namespace

TEST(CliChipLoop, EachChipGetsItsVerdictAndTheRunItsTotals) {
    const std::vector<std::string> base = {"--log", "run.csv", "load", "demo.rom"};
    const struct {
        const char* name;
        std::vector<std::string> more;
        std::string answers;
        bool fresh;
        int status;
        std::string err;  // stderr after the load
        size_t logLines;  // with the header
    } rows[] = {
        {"fresh chips pass until q", {"loop", "auto"}, "\n\nq\n", true, 0,
         "chip 1: PASS (passed 1, failed 0, yield 100.0 %)\n" + kPrompt +
             "\nchip 2: PASS (passed 2, failed 0, yield 100.0 %)\n" + kPrompt +
             "\nchip 3: PASS (passed 3, failed 0, yield 100.0 %)\n" + kPrompt +
             "q\nChips: 3 (passed 3, failed 0, yield 100.0 %)\nPASS\n",
         4},
        {"the same chip again fails, and the end of input ends the loop", {"loop", "auto"}, "\n", false, 1,
         "chip 1: PASS (passed 1, failed 0, yield 100.0 %)\n" + kPrompt +
             "\nchip 2: FAIL: OTP Blank Check Fail !!! (passed 1, failed 1, yield 50.0 %)\n" + kPrompt +
             "\nChips: 2 (passed 1, failed 1, yield 50.0 %)\nFAIL: OTP Blank Check Fail !!!\n",
         3},
        {"a failed step ends its chip: verify is not run after a failed blank check",
         {"--max-fails", "2", "loop", "blank", "program"}, "\n\n\n\n", false, 1,
         "chip 1: PASS (passed 1, failed 0, yield 100.0 %)\n" + kPrompt +
             "\nchip 2: FAIL: OTP Blank Check Fail !!! (passed 1, failed 1, yield 50.0 %)\n" + kPrompt +
             "\nchip 3: FAIL: OTP Blank Check Fail !!! (passed 1, failed 2, yield 33.3 %)\n"
             "Stopped after 2 failed chips in a row.\n"
             "Chips: 3 (passed 1, failed 2, yield 33.3 %)\nFAIL: OTP Blank Check Fail !!!\n",
         5},
        {"a chip refused before anything was sent to it is counted apart, not failed",
         {"loop", "body", "RX4720", "auto"}, "\nq\n", true, 1,
         kNotice + kNotVerified + "\nchip 1: REFUSED: " + kNotVerified + " (passed 0, failed 0, refused 1, yield -)\n" +
             kPrompt + "\n" + kNotice + kNotVerified + "\nchip 2: REFUSED: " + kNotVerified +
             " (passed 0, failed 0, refused 2, yield -)\n" + kPrompt +
             "q\nChips: 0 (passed 0, failed 0, refused 2, yield -)\nFAIL: " + kNotVerified + "\n",
         3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = base;
        args.insert(args.end(), row.more.begin(), row.more.end());
        const LoopRun run = RunLoop(args, row.answers, row.fresh);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err, row.err);
        ASSERT_EQ(run.log.size(), row.logLines);
        EXPECT_EQ(run.log[0], "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,waits,writer,lot,operator,job,job_id\r");
    }
}

TEST(CliChipLoop, UsageErrorsAndAnUnwritableLogRunNothing) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } rows[] = {
        {{"loop"}, 2, "otpwriter-cli: 'loop' needs the steps to repeat after it\n"},
        {{"loop", "auto", "loop", "read"}, 2, "otpwriter-cli: 'loop' can be given only once\n"},
        {{"--max-fails", "2", "auto"}, 2, "otpwriter-cli: --max-fails works only with 'loop'\n"},
        {{"--max-fails", "0", "loop", "auto"}, 2, "otpwriter-cli: --max-fails needs a count from 1 to 1000000\n"},
        {{"--log"}, 2, "otpwriter-cli: --log needs a FILE\n"},
    };
    for (const auto& row : rows) {
        const LoopRun run = RunLoop(row.args, "", true);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err, row.err + "Try 'otpwriter-cli --help'.\n");
    }
    const LoopRun run = RunLoop({"--log", "no/such/run.csv", "load", "demo.rom", "loop", "auto"}, "", true);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> err = test::Lines(run.err);
    ASSERT_EQ(err.size(), 2u) << run.err;
    // The relative name is taken from the working directory.
    const std::string prefix = "otpwriter-cli: cannot open the production log ";
    ASSERT_EQ(err[0].rfind(prefix, 0), 0u) << err[0];
    EXPECT_TRUE(IsAbsolutePath(err[0].substr(prefix.size()))) << err[0];
    EXPECT_NE(err[0].find("no/such/run.csv: No such file or directory; not run: load demo.rom, loop"),
              std::string::npos);
    EXPECT_EQ(err[1].rfind("FAIL: cannot open the production log ", 0), 0u);
}
