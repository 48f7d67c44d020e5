// job-save: a job made from what the writer holds, with its image beside it.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CliSupport.h"
#include "RomFixture.h"
#include "job/JobFile.h"
#include "job/Sha256.h"

namespace otp {
namespace {

class JobSaveTest : public test::CliInProcessTest {
protected:
    void SetUp() override {
        dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
        dir.Write("demo.rom", test::ReadSource("examples/demo-rx4400.rom"));
        std::filesystem::create_directory(dir.file("jobs"));
    }
};

TEST_F(JobSaveTest, SavesWhatTheWriterHoldsOrSaysWhyNot) {
    const std::string rom = test::ReadSource("examples/demo-rx4400.rom");
    const std::string job = dir.file("jobs/order.otpjob");
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string besideBefore;  // a file jobs/demo.rom before the run; empty: none
        int status;
        std::string verdict;
    } rows[] = {
        {"the loaded image, the lock on, the order and the lot",
         {"--quantity", "10", "--lot", "L7", "load", "demo.rom", "lock", "on", "job-save", job}, "", 0, "PASS"},
        {"the image beside the job already", {"--quantity", "10", "load", "demo.rom", "job-save", job}, rom, 0, "PASS"},
        {"no quantity", {"load", "demo.rom", "job-save", job}, "", 1, "FAIL: job-save needs the order's quantity: --quantity N"},
        {"no image loaded", {"--quantity", "10", "job-save", job}, "", 1,
         "FAIL: cannot save the job " + job + ": the writer holds no image loaded from a file and verified (load one first)"},
        {"another file of the image's name beside the job", {"--quantity", "10", "load", "demo.rom", "job-save", job},
         "not the image", 1,
         "FAIL: cannot save the job " + job + ": another file " + dir.file("jobs/demo.rom") +
             " lies beside it, not the image " + dir.file("demo.rom") + " the writer holds"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(job);
        std::filesystem::remove(dir.file("jobs/demo.rom"));
        if (!row.besideBefore.empty()) dir.Write("jobs/demo.rom", row.besideBefore);
        EXPECT_EQ(Run(row.args), row.status) << err.str();
        const std::vector<std::string> lines = test::Lines(err.str());
        EXPECT_EQ(lines.empty() ? "" : lines.back(), row.verdict);
        if (row.status != 0) {
            EXPECT_FALSE(std::filesystem::exists(job));
            EXPECT_EQ(dir.Read("jobs/demo.rom"), row.besideBefore);
            continue;
        }
        JobFile saved;
        std::string error;
        ASSERT_TRUE(ReadJobFile(job, saved, error)) << error;
        EXPECT_TRUE(test::HasLine(err.str(), "Morvik OTP Writer Version 2: Job order (" + saved.id + ") saved in " + job +
                                                 ": 10 chips of demo.rom, body RX4400"))
            << err.str();
        EXPECT_EQ(saved.job.name, "order");
        EXPECT_EQ(saved.job.image, "demo.rom");
        EXPECT_EQ(saved.job.imageSha256, Sha256Hex(rom));
        EXPECT_EQ(saved.job.checksum, "FE5A");
        EXPECT_EQ(saved.job.body, "RX4400");
        EXPECT_EQ(saved.job.lock, row.args[4] == "load" && row.args.size() > 7 ? "on" : "off");
        EXPECT_EQ(saved.job.rolling, "off");
        EXPECT_EQ(saved.job.bank, "");
        EXPECT_FALSE(saved.job.firmware.empty());
        EXPECT_EQ(saved.job.quantity, 10);
        EXPECT_EQ(saved.job.lot, row.args[2] == "--lot" ? "L7" : "");
        EXPECT_EQ(dir.Read("jobs/demo.rom"), rom);
    }
}

}  // namespace
}  // namespace otp
