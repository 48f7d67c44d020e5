// A production job run from the console: the job opened on every writer
// (image by its digest, settings read back, firmware), only production after
// it, and the order counted across the writers and across runs.
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "StationSupport.h"
#include "config/WriterState.h"
#include "job/JobFile.h"
#include "job/Sha256.h"

namespace otp {
namespace {

// A writer whose firmware drops the lock bit of every body description it is sent.
class LockDroppingWrite : public emu::WriterCommand {
public:
    bool Take(uint8_t byte, emu::WriterEmulator& writer) override {
        if (got_ == kBodyFlagsByte) byte = static_cast<uint8_t>(byte & ~kFlagLockOn);
        writer.Poke(emu::WriterEmulator::kBodyInfoAddr + static_cast<uint32_t>(got_), byte);
        return ++got_ >= static_cast<int>(emu::WriterEmulator::kBodyInfoSize);
    }

private:
    int got_ = 0;
};

// Makes jobs/order.otpjob of demo.rom with the lock on, for `quantity` chips of lot L7.
void MakeJob(test::StationBench& bench, const std::string& quantity) {
    std::filesystem::create_directories(bench.dir.file("jobs"));
    const test::StationRun made = bench.Run({"--writers", "COM1", "--quantity", quantity, "--lot", "L7", "load",
                                             "demo.rom", "lock", "on", "job-save", "jobs/order.otpjob"});
    ASSERT_EQ(made.status, 0) << ::testing::PrintToString(made.err);
    bench.writers.clear();  // each run meets writers of its own clock
}

std::string LastLine(const test::StationRun& run) { return run.err.empty() ? "" : run.err.back(); }

// What opening a job finds on the writer, one row each: what it holds
// other than the job is set and read back; what cannot be made to agree
// refuses production, naming what differs and what the job wants.
TEST(JobRun, OpeningTheJobMakesTheWriterHoldItOrSaysWhatDiffers) {
    const struct {
        const char* what;
        std::function<void(test::StationBench&)> before;
        std::string verdict;  // the run's last line
    } rows[] = {
        {"a fresh writer takes the image and the lock, and makes the order", nullptr, "PASS"},
        {"an image changed beside the job",
         [](test::StationBench& b) { b.dir.Write("jobs/demo.rom", b.dir.Read("jobs/demo.rom") + "\n"); },
         "FAIL: the job order cannot run on COM1: the image {dir}/jobs/demo.rom is not the job's: its SHA-256 is "
         "{changed}, the job wants {digest}"},
        {"the image gone", [](test::StationBench& b) { std::filesystem::remove(b.dir.file("jobs/demo.rom")); },
         "FAIL: the job order cannot run on COM1: the job's image {dir}/jobs/demo.rom cannot be read: No such file or "
         "directory"},
        {"another firmware", [](test::StationBench& b) { b.Writer("COM1").Poke(emu::WriterEmulator::kVersionAddr + 7, 5); },
         "FAIL: the job order cannot run on COM1: the writer's firmware: it gives \"12071005\", the job wants "
         "\"12071000\""},
        {"a writer that does not keep the lock",
         [](test::StationBench& b) {
             b.Writer("COM1").SetCommand(0x75, [] { return std::make_unique<LockDroppingWrite>(); });
         },
         "FAIL: the job order cannot run on COM1: the lock: the writer holds off, the job wants on"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::StationBench bench;
        MakeJob(bench, "2");
        JobFile job;
        std::string error;
        ASSERT_TRUE(ReadJobFile(bench.dir.file("jobs/order.otpjob"), job, error)) << error;
        // The writer starts from the factory's lock setting, off.
        bench.Writer("COM1").Poke(emu::WriterEmulator::kBodyInfoAddr + kBodyFlagsByte,
                                  bench.Writer("COM1").Peek(emu::WriterEmulator::kBodyInfoAddr + kBodyFlagsByte) &
                                      ~kFlagLockOn);
        if (row.before) row.before(bench);
        std::string changed;
        if (std::filesystem::exists(bench.dir.file("jobs/demo.rom"))) changed = Sha256Hex(bench.dir.Read("jobs/demo.rom"));
        const test::StationRun run =
            bench.Run({"--writers", "COM1", "--job", "jobs/order.otpjob", "--log", "run.csv", "loop", "auto"}, "\n\n\n");
        std::string want = row.verdict;
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {"{dir}", bench.dir.path()}, {"{changed}", changed}, {"{digest}", job.job.imageSha256}})
            for (size_t at; (at = want.find(key)) != std::string::npos;) want.replace(at, key.size(), value);
        EXPECT_EQ(LastLine(run), want) << ::testing::PrintToString(run.err);
        if (want != "PASS") {
            EXPECT_EQ(run.status, 1);
            EXPECT_LE(run.log.size(), 1u) << "no chip runs";
            continue;
        }
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.ErrHas("chip 2: PASS (passed 2, failed 0, yield 100.0 %, order 2 of 2)"));
        EXPECT_TRUE(run.ErrHas("order complete: 2 of 2 passed"));
        EXPECT_EQ(bench.Writer("COM1").Peek(emu::WriterEmulator::kBodyInfoAddr + kBodyFlagsByte) & kFlagLockOn,
                  kFlagLockOn);
        ASSERT_EQ(run.log.size(), 3u);
        for (size_t i = 1; i < run.log.size(); ++i) {
            EXPECT_EQ(test::LogField(run.log[i], "job"), "order");
            EXPECT_EQ(test::LogField(run.log[i], "job_id"), job.id);
            EXPECT_EQ(test::LogField(run.log[i], "lot"), "L7");
        }
    }
}

// The order across the writers of a station and across runs: never a
// passed chip past it, a failed chip's place given back, and a run of an
// order already complete starts no chip.
TEST(JobRun, TheOrderIsCountedAcrossWritersAndRuns) {
    test::StationBench bench;
    MakeJob(bench, "5");
    // COM2's second chip fails its blank check: a chip already programmed.
    const std::vector<std::string> args = {"--writers", "COM1,COM2", "--job", "jobs/order.otpjob",
                                           "--log",     "run.csv",   "loop",  "auto"};
    bench.Fault("COM2", "c#2:garbage");
    const test::StationRun first = bench.Run(args, "\n\n\n\n\n\n\n\n");
    size_t passed = 0, failed = 0;
    for (size_t i = 1; i < first.log.size(); ++i) {
        passed += test::LogField(first.log[i], "verdict") == "pass";
        failed += test::LogField(first.log[i], "verdict") == "fail";
    }
    EXPECT_EQ(passed, 5u) << ::testing::PrintToString(first.log);
    EXPECT_EQ(failed, 1u) << ::testing::PrintToString(first.log);
    EXPECT_TRUE(first.ErrHas("COM1 chip 3: PASS (passed 3, failed 0, yield 100.0 %, order 5 of 5)") ||
                first.ErrHas("COM2 chip 3: PASS (passed 2, failed 1, yield 66.7 %, order 5 of 5)"))
        << ::testing::PrintToString(first.err);
    EXPECT_TRUE(first.ErrHas("order complete: 5 of 5 passed")) << ::testing::PrintToString(first.err);

    bench.writers.clear();
    const test::StationRun again = bench.Run(args, "\n\n");
    EXPECT_EQ(again.status, 0) << ::testing::PrintToString(again.err);
    EXPECT_TRUE(again.ErrHas("order complete: 5 of 5 passed"));
    EXPECT_EQ(again.log.size(), first.log.size()) << "no chip runs";
}

// What a job fixes cannot be asked for beside it.
TEST(JobRun, StepsAndOptionsTheJobFixesAreRefused) {
    const struct {
        std::vector<std::string> args;
        std::string complaint;
    } rows[] = {
        {{"--job", "j.otpjob", "load", "demo.rom", "loop", "auto"},
         "step 'load' cannot run in a job: the job j.otpjob fixes the image, the settings and the firmware"},
        {{"--job", "j.otpjob", "loop", "lock", "on"},
         "step 'lock' cannot run in a job: the job j.otpjob fixes the image, the settings and the firmware"},
        {{"--job", "j.otpjob", "loop", "testcode-write"},
         "step 'testcode-write' cannot run in a job: the job j.otpjob fixes the image, the settings and the firmware"},
        {{"--job", "j.otpjob", "auto"},
         "step 'auto' works on a chip outside the loop: a job's chips are made after 'loop' (--job j.otpjob loop auto)"},
        {{"--job", "j.otpjob", "version"}, "a job runs its chips in a loop: --job j.otpjob loop auto"},
        {{"--job", "j.otpjob", "--quantity", "4", "loop", "auto"},
         "--quantity makes a job with job-save; a job run takes the job's own"},
        {{"--job"}, "--job needs a FILE (NAME.otpjob)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.complaint);
        test::StationBench bench;
        const test::StationRun run = bench.Run(row.args);
        EXPECT_EQ(run.status, 2);
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.front(), "otpwriter-cli: " + row.complaint);
    }
}

}  // namespace
}  // namespace otp
