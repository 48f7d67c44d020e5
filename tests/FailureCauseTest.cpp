// Every refusal and failure of a step ends the run with a FAIL line that
// says what went wrong, never only that the step did not pass: the damaged
// file with its damage, the question answered no, the selector that has no
// such item, the file that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "RomFixture.h"

using namespace otp;

namespace {

class FailureCauseTest : public test::CliInProcessTest {};

// A firmware file of 300 bytes beyond the first 1024.
const std::string kFirmware = [] {
    std::string bytes(1024 + 300, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    return bytes;
}();

// The demo .rom with `from` replaced by `to` (the first time it stands).
std::string DemoRomWith(const std::string& from, const std::string& to) {
    std::string text = test::ReadSource("examples/demo-rx4400.rom");
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST_F(FailureCauseTest, EveryFailLineNamesItsCause) {
    const std::string demo = test::ReadSource("examples/demo-rx4400.rom");
    // Writer.ini's ..\WRITER.BIN, found in the working folder, named with forward slashes.
    const std::string firmwarePath = std::filesystem::path(dir.file("WRITER.BIN")).generic_string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string rom;   // written as x.rom when not empty
        std::string fail;  // the last line on stderr
        std::vector<std::string> faults = {};  // the writer's, W counted from the start-up's first read
        std::string firmware = kFirmware;      // WRITER.BIN, none when empty
    } rows[] = {
        {"a checksum that the data do not sum to", {"load", "x.rom"}, DemoRomWith("CHECKSUM FE00", "CHECKSUM 1234"),
         "FAIL: x.rom is damaged (CHECKSUM 1234 but the data sum to FE00); not loaded (--load-damaged loads it anyway)"},
        {"no LENGTH line", {"load", "x.rom"}, DemoRomWith("LENGTH 01024 BYTE", ""),
         "FAIL: x.rom is damaged (no LENGTH line); not loaded (--load-damaged loads it anyway)"},
        {"data cut short", {"load", "x.rom"}, demo.substr(0, demo.find("0100  ")),
         "FAIL: x.rom is damaged (the data section ends without its CHECKSUM line); not loaded (--load-damaged loads "
         "it anyway)"},
        {"a value that is not hex", {"load", "x.rom"}, DemoRomWith("0010  5B 80", "0010  5B ZZ"),
         "FAIL: x.rom is damaged (CHECKSUM FE00 but the data sum to FD80); not loaded (--load-damaged loads it anyway)"},
        {"LENGTH 0", {"load", "x.rom"}, DemoRomWith("LENGTH 01024 BYTE", "LENGTH 0 BYTE"),
         "FAIL: x.rom is damaged (CHECKSUM FE00 but the data sum to 0000); not loaded (--load-damaged loads it anyway)"},
        {"a file that is not there", {"load", "missing.rom"}, "", "FAIL: File no found !!!"},
        {"a file that cannot be read", {"load", "folder.rom"}, "",
         "FAIL: Can not read [" + dir.path() + "/folder.rom] (is a folder), load stopped !!!"},
        {"a file without a BODY line", {"load", "x.rom"}, DemoRomWith("BODY RX4400", ""),
         "FAIL: Body not found in ROM file!!! "},
        {"a body Writer.ini does not list", {"load", "x.rom"}, DemoRomWith("BODY RX4400", "BODY RX9999"),
         "FAIL: The Body not support !!! "},
        {"a damaged file without data, taken anyway", {"--load-damaged", "load", "x.rom"},
         demo.substr(0, demo.find("LENGTH")),
         "FAIL: No data section in [x.rom], nothing sent to the writer !!! (a damaged file was loaded: [x.rom] (no "
         "LENGTH line))"},
        {"a file that cannot be written", {"save", "no-folder/x.rom"}, "",
         "FAIL: Can not write [" + dir.path() + "/no-folder/x.rom] (No such file or directory), ROM file not saved !!!"},
        {"the update not confirmed", {"update"}, "", "FAIL: the update was not confirmed; nothing was sent (--yes answers yes)"},
        {"a firmware file that is not there", {"--yes", "update"}, "",
         "FAIL: The writer driver file [" + firmwarePath + "] cannot be opened (No such file or directory); "
         "nothing was sent !!!",
         {}, ""},
        {"a firmware file too short", {"--yes", "update"}, "",
         "FAIL: The writer driver file [" + firmwarePath + "] has 1000 bytes; it needs more than 1024, so "
         "nothing was sent !!!",
         {}, std::string(1000, 'x')},
        {"a firmware file too long", {"--yes", "update"}, "",
         "FAIL: The writer driver file [" + firmwarePath + "] has 16385 bytes; it may have at most 16384 "
         "(15360 sent after the first 1024), so nothing was sent !!!",
         {}, std::string(16385, 'x')},
        {"a test code read of a body without one", {"testcode-read"}, "",
         "FAIL: \"Testcode > Read\" is not available for this body"},
        {"a test code write to an MTP body", {"--yes", "body", "RX5100", "testcode-write"}, "",
         "FAIL: \"Testcode > Write\" is not available for this body"},
        {"the test-code write not confirmed", {"body", "RX4720", "testcode-write"}, "",
         "FAIL: the test-code write was not confirmed; nothing was sent (--yes answers yes)"},
        {"a body that is not listed", {"body", "99"}, "", "FAIL: The body is not available !!!"},
        {"a selector the body does not have", {"body", "RX4400", "rolling", "on"}, "",
         "FAIL: The rolling selector is not available for this body"},
        {"a bank the list does not have", {"bank", "9"}, "", "FAIL: The bank list has no item \"Bank 9\""},
        {"a chip programmed from an image not verified", {"body", "RX4720", "program"}, "",
         "FAIL: The writer's image is not verified (a load, copy or update did not end well, or the start-up did "
         "not read it): load the ROM file again !!!"},

        // The writer misbehaving: what the host saw, also where the line shown blames something else.
        {"a writer silent at start-up", {"version"}, "", "FAIL: no body description answer within 1109 ms",
         {"W#1:silent"}},
        {"a version answer later than its wait", {"version"}, "", "FAIL: the version answer came 301 ms after the wait",
         {"W#7:late=400"}},
        {"a version answer cut short", {"version"}, "", "FAIL: the writer answered 3 bytes where 8 were asked",
         {"W#7:truncate=3"}},
        {"a lock change's read-back unanswered", {"lock", "on"}, "", "FAIL: Option error: 0 of 16 bytes received !!!",
         {"W#10:silent"}},
        {"a test code not read", {"body", "RX4720", "testcode-read"}, "",
         "FAIL: IC put on socket error or jumper setting error !!! (no answer from the writer within 200 ms)",
         {"Q:silent"}},
        {"firmware read back otherwise", {"--yes", "update"}, "",
         "FAIL: 1 of the 300 firmware bytes read back differ from those sent, the first at 0400", {"W#8:corrupt=0"}},
    };
    std::filesystem::create_directory(dir.file("folder.rom"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
        std::filesystem::remove(dir.file("WRITER.BIN"));
        if (!row.firmware.empty()) dir.Write("WRITER.BIN", row.firmware);
        if (!row.rom.empty()) dir.Write("x.rom", row.rom);
        opener = emu::MakeDemoOpener(pacer);
        for (const std::string& rule : row.faults) {
            std::string error;
            ASSERT_TRUE(opener->Writer().AddFault(rule, error)) << error;
        }
        EXPECT_EQ(Run(row.args), 1);
        const std::vector<std::string> lines = test::Lines(err.str());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), row.fail) << err.str();
        EXPECT_TRUE(test::NamesItsCause(lines.back())) << lines.back();
    }
}
