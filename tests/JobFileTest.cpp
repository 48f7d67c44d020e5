// The job file: its digest, its text read back, and every way a file can be
// no job or a job cannot be saved, named.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "job/JobFile.h"
#include "job/Sha256.h"

namespace otp {
namespace {

TEST(Sha256, GivesTheStandardsDigests) {
    std::string bytes256;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) bytes256 += static_cast<char>(b);
    const struct {
        std::string bytes;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // The padding's edges: the length fits the last block, just does not, a whole block.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {bytes256, "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363"},
    };
    for (const auto& row : rows) EXPECT_EQ(Sha256Hex(row.bytes), row.digest) << row.bytes.size() << " bytes";
}

Job AJob() {
    Job j;
    j.name = "RX4400 order 4711";
    j.image = "demo-rx4400.rom";
    j.imageSha256 = std::string(64, 'a');
    j.checksum = "FC00";
    j.body = "RX4400";
    j.lock = "on";
    j.rolling = "off";
    j.bank = "3";
    j.firmware = "OTP Writer V2.10";
    j.quantity = 5000;
    j.lot = "L7";
    j.notes = {"first line, with = in it", "# not a comment"};
    return j;
}

bool Same(const Job& a, const Job& b) {
    return a.name == b.name && a.image == b.image && a.imageSha256 == b.imageSha256 && a.checksum == b.checksum &&
           a.body == b.body && a.lock == b.lock && a.rolling == b.rolling && a.bank == b.bank &&
           a.firmware == b.firmware && a.quantity == b.quantity && a.lot == b.lot && a.notes == b.notes;
}

// Saved and read again, a job is the same job with the same id; one byte
// more is another id.
TEST(JobFile, IsReadBackAsItWasSavedAndOneByteMoreIsAnotherJob) {
    test::TempDir dir;
    std::string id, error;
    ASSERT_TRUE(WriteJobFile(dir.file("a.otpjob"), AJob(), id, error)) << error;
    EXPECT_EQ(id.size(), 16u);
    JobFile read;
    ASSERT_TRUE(ReadJobFile(dir.file("a.otpjob"), read, error)) << error;
    EXPECT_TRUE(Same(read.job, AJob())) << dir.Read("a.otpjob");
    EXPECT_EQ(read.id, id);
    EXPECT_EQ(read.id, Sha256Hex(dir.Read("a.otpjob")).substr(0, 16));

    // Hand-written: CR LF, blanks, comments, no bank and no lot.
    dir.Write("b.otpjob", "# by hand\r\n  name=X \r\nimage = x.rom\r\nimage-sha256 = " + std::string(64, '0') +
                              "\r\nchecksum = 0000\r\nbody = B\r\nlock = off\r\nrolling = on\r\nfirmware = V1\r\n"
                              "quantity = 1\r\n\r\n");
    ASSERT_TRUE(ReadJobFile(dir.file("b.otpjob"), read, error)) << error;
    EXPECT_EQ(read.job.name, "X");
    EXPECT_EQ(read.job.bank, "");
    EXPECT_EQ(read.job.quantity, 1);
    dir.Write("c.otpjob", dir.Read("b.otpjob") + "note = n\n");
    JobFile other;
    ASSERT_TRUE(ReadJobFile(dir.file("c.otpjob"), other, error)) << error;
    EXPECT_NE(other.id, read.id);
}

TEST(JobFile, ATextThatIsNoJobIsNamedByItsLine) {
    const std::string good = [] {
        std::string text, error;
        EXPECT_TRUE(JobText(AJob(), text, error)) << error;
        return text;
    }();
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const struct {
        const char* what;
        std::string text;
        std::string error;
    } rows[] = {
        {"no key", with("lot = L7", "L7"), "line 12: \"L7\" is no \"key = value\""},
        {"an unknown key", with("lot = L7", "colour = red"), "line 12: \"colour\" is no key of a job"},
        {"a key twice", good + "lock = off\n", "line 15: lock is given twice"},
        {"a digest too short", with(std::string(64, 'a'), "abc"), "line 4: image-sha256 \"abc\" is not 64 lower-case hex digits"},
        {"a digest in capitals", with(std::string(64, 'a'), std::string(64, 'A')),
         "line 4: image-sha256 \"" + std::string(64, 'A') + "\" is not 64 lower-case hex digits"},
        {"lock neither", with("lock = on", "lock = yes"), "line 7: lock \"yes\" is neither on nor off"},
        {"a bank past 7", with("bank = 3", "bank = 8"), "line 9: bank \"8\" is none of 0 to 7, last and first"},
        {"an image in a folder", with("image = demo-rx4400.rom", "image = ../x.rom"),
         "line 3: image \"../x.rom\" names a folder: the image lies beside the job file"},
        {"no chips", with("quantity = 5000", "quantity = 0"),
         "line 11: the quantity \"0\" is not a number of chips from 1 to 1000000000"},
        {"a quantity past the range", with("quantity = 5000", "quantity = 99999999999"),
         "line 11: the quantity \"99999999999\" is not a number of chips from 1 to 1000000000"},
        {"a negative quantity", with("quantity = 5000", "quantity = -5"),
         "line 11: the quantity \"-5\" is not a number of chips from 1 to 1000000000"},
        {"no firmware", with("firmware = OTP Writer V2.10\n", ""), "the job has no firmware"},
        {"an empty file", "", "the job has no name"},
    };
    for (const auto& row : rows) {
        Job job;
        std::string error;
        EXPECT_FALSE(ParseJob(row.text, job, error)) << row.what;
        EXPECT_EQ(error, row.error) << row.what;
    }
}

TEST(JobFile, AJobThatCannotBeKeptIsNotSaved) {
    const struct {
        const char* what;
        void (*change)(Job&);
        std::string error;
    } rows[] = {
        {"a lot with a line break", [](Job& j) { j.lot = "L7\nquantity = 1"; }, "the job's lot holds a line break"},
        {"a name that ends in a blank", [](Job& j) { j.name = "x "; }, "the job's name begins or ends with a blank"},
        {"a note with a carriage return", [](Job& j) { j.notes = {"a\rb"}; }, "the job's note holds a line break"},
        {"no body", [](Job& j) { j.body.clear(); }, "the job has no body"},
        {"no chips", [](Job& j) { j.quantity = 0; }, "the job's quantity 0 is not between 1 and 1000000000"},
        {"a bank search by another name", [](Job& j) { j.bank = "Last used"; },
         "the job's bank \"Last used\" is none of 0 to 7, last and first"},
    };
    test::TempDir dir;
    for (const auto& row : rows) {
        Job job = AJob();
        row.change(job);
        std::string id, error;
        EXPECT_FALSE(WriteJobFile(dir.file("j.otpjob"), job, id, error)) << row.what;
        EXPECT_EQ(error, "cannot save the job " + dir.file("j.otpjob") + ": " + row.error) << row.what;
    }
    EXPECT_EQ(dir.Read("j.otpjob"), "");
}

}  // namespace
}  // namespace otp
