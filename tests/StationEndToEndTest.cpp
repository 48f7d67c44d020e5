// A station in real time: several writer-emulator programs on pseudo-terminals
// and the built otpwriter-cli driving them all at once through its serial code.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CliSupport.h"
#include "TinyBody.h"

namespace {

using Clock = std::chrono::steady_clock;

class StationEndToEnd : public ::testing::Test {
protected:
    otp::test::TempDir dir;
    std::vector<std::unique_ptr<otp::test::ChildProcess>> writers;

    void SetUp() override {
        dir.Write("Writer.ini", otp::test::kIni);
        dir.Write("x.rom", otp::test::RomText());
    }
    void TearDown() override {
        for (auto& w : writers) {
            w->Say("quit\n");
            EXPECT_EQ(w->WaitExit(), 0);
        }
    }
    // writer-emulator on COMn (n from 1 on, in the order started), with `options`.
    void StartWriter(const std::vector<std::string>& options) {
        std::vector<std::string> args = {"--link", Link(writers.size() + 1)};
        args.insert(args.end(), options.begin(), options.end());
        writers.push_back(std::make_unique<otp::test::ChildProcess>());
        ASSERT_TRUE(writers.back()->Start(OTP_BINARY_DIR "/writer-emulator", args));
        ASSERT_EQ(writers.back()->ReadLine().rfind("/dev/", 0), 0u);
        writers.back()->Favour();
    }
    std::string Link(size_t n) const { return dir.file("ttyWriter" + std::to_string(n)); }
    // The shell command that runs otpwriter-cli in the folder with COM1.. on the writers.
    std::string Command(const std::string& args) const {
        std::string command = "cd '" + dir.path() + "' && ";
        for (size_t n = 1; n <= writers.size(); ++n)
            command += "OTPWRITER_COM" + std::to_string(n) + "='" + Link(n) + "' ";
        return command + "exec " + otp::test::FavouredCommand() + "'" OTP_BINARY_DIR "/otpwriter-cli' " + args;
    }
    otp::test::CliRun Run(const std::string& args) const {
        otp::test::CliRun run;
        FILE* pipe = popen((Command(args) + " 2>&1").c_str(), "r");
        if (!pipe) return run;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) run.out.append(buf, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.lines = otp::test::Lines(run.out);
        return run;
    }
    // The log's rows of `port`: their verdicts in order.
    std::vector<std::string> Verdicts(const std::string& port) const {
        std::vector<std::string> verdicts;
        for (const std::string& line : otp::test::Lines(dir.Read("p.csv"))) {
            if (otp::test::LogField(line, "writer") == port) verdicts.push_back(otp::test::LogField(line, "verdict"));
        }
        return verdicts;
    }
};

int64_t MsOf(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

}  // namespace

// A fine writer, one that answers its blank check late (within the wait)
// and one that dies when told to program: the dying one fails alone and is
// named, the others pass, each chip has its row, and the three together take
// about as long as one writer alone.
TEST_F(StationEndToEnd, AWriterThatDiesFailsAloneAndTheStationTakesAboutAsLongAsOneWriter) {
    StartWriter({});
    StartWriter({"--fault", "c:late=60"});
    StartWriter({"--fault", "e:die"});
    // Every writer holds the small body first, so that each run below starts
    // up on the same.
    ASSERT_EQ(Run("--writers COM1,COM2,COM3 load x.rom").status, 0);
    const Clock::time_point start = Clock::now();
    const otp::test::CliRun run = Run("--writers COM1,COM2,COM3 --log p.csv load x.rom auto");
    const int64_t stationMs = MsOf(Clock::now() - start);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(run.Has("COM3: Programming ................")) << run.out;
    EXPECT_TRUE(run.Has("otpwriter-cli: COM3 stopped: step 'auto' failed")) << run.out;
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back().rfind("FAIL: COM3: OTP Verify Fail !!! (no answer from the writer within ", 0), 0u)
        << run.out;
    EXPECT_EQ(Verdicts("COM1"), std::vector<std::string>{"pass"});
    EXPECT_EQ(Verdicts("COM2"), std::vector<std::string>{"pass"});
    EXPECT_EQ(Verdicts("COM3"), std::vector<std::string>{"fail"});
    EXPECT_EQ(otp::test::Lines(dir.Read("p.csv")).size(), 4u);

    // The same steps on one writer alone, with a fresh chip.
    writers[0]->Say("ic blank\n");
    EXPECT_EQ(writers[0]->ReadLine().rfind("socket: blank", 0), 0u);
    const Clock::time_point alone = Clock::now();
    const otp::test::CliRun one = Run("--writers COM1 load x.rom auto");
    const int64_t oneMs = MsOf(Clock::now() - alone);
    EXPECT_EQ(one.status, 0) << one.out;
    // Three writers one after the other would take three times as long.
    EXPECT_LT(stationMs, oneMs * 17 / 10) << "three writers " << stationMs << " ms, one " << oneMs << " ms";
}

// SIGTERM while two writers program: both chips under way finish and are
// recorded, then the run stops and says why.
TEST_F(StationEndToEnd, ASignalLetsEveryChipUnderWayFinishAndBeRecorded) {
    StartWriter({});
    StartWriter({});
    otp::test::ChildProcess cli;
    ASSERT_TRUE(cli.Start("/bin/sh", {"-c", Command("--writers COM1,COM2 --log p.csv load x.rom auto auto") + " 2>err.txt"}));
    std::string out;
    int programming = 0;
    while (programming < 2) {
        const std::string line = cli.ReadLine(30000);
        out += line + "\n";
        ASSERT_TRUE(cli.Running()) << out;
        if (line == "COM1: Programming ................" || line == "COM2: Programming ................") ++programming;
    }
    cli.Signal(SIGTERM);
    out += cli.ReadAll(30000);
    EXPECT_EQ(cli.WaitExit(30000), 1) << out;
    EXPECT_TRUE(otp::test::HasLine(out, "COM1:   -----> OTP Verify OK !!!")) << out;
    EXPECT_TRUE(otp::test::HasLine(out, "COM2:   -----> OTP Verify OK !!!")) << out;
    const std::vector<std::string> err = otp::test::Lines(dir.Read("err.txt"));
    EXPECT_TRUE(otp::test::Contains(err, "otpwriter-cli: SIGTERM: the run stops after the steps under way on every writer"))
        << dir.Read("err.txt");
    ASSERT_GE(err.size(), 2u);
    EXPECT_EQ(err[err.size() - 2], "otpwriter-cli: interrupted by SIGTERM; not run: auto");
    EXPECT_EQ(err.back(), "FAIL: interrupted by SIGTERM");
    EXPECT_EQ(Verdicts("COM1"), std::vector<std::string>{"pass"});
    EXPECT_EQ(Verdicts("COM2"), std::vector<std::string>{"pass"});
}
