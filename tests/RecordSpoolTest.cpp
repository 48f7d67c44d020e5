// The record spool on real files: damaged spools of every kind read around,
// one program per spool, whole records on a full disk, and where a station's
// spool lives.
#include <errno.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CliSupport.h"
#include "TestSupport.h"
#include "production/ChipLedger.h"
#include "record/Crc32.h"
#include "record/LineRecord.h"
#include "record/RecordSpool.h"

namespace otp {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "# otpwriter record spool, version 2: one record a line, its fields as CSV with line breaks written \\n, then "
    "the CRC-32 of the line's text before it\n";
const std::string kOldHeader =
    "record_key,time_epoch,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,"
    "waits,writer,station,lot,operator\n";

SpooledRecord Kept(char key, int chip) {
    SpooledRecord s;
    s.key = std::string(32, key);
    s.record.when = 1765180800 + chip;
    s.record.operation = "auto";
    s.record.body = "RX4400";
    s.record.romFile = "demo, \"new\".rom";
    s.record.checksum = "FE5A";
    s.record.rollingCode = "0100 0101";
    s.record.verdict = chip % 2 ? Verdict::Pass : Verdict::Fail;
    s.record.failure = chip % 2 ? "" : "text with \\n, \"quotes\"\r\nand a second line \xc3\xa4";
    s.record.durationMs = 1200;
    s.record.chip = chip;
    s.record.run = "earlier 2025-12-08T08:00:00+00:00";
    s.record.fastWaits = chip % 2;
    s.record.writer = "COM1";
    s.record.station = "earlier";
    s.record.lot = "L7";
    return s;
}

// A line with a CRC that matches its text.
std::string Signed(const std::string& text) { return text + "," + Crc32Hex(text) + "\n"; }

// Record 'b' 2's line with field `index` (from 0) replaced; the fields as the spool writes them.
std::string WithField(size_t index, const std::string& value, size_t fields = 19) {
    std::vector<std::string> f = {std::string(32, 'b'), "1765180802", "auto", "RX4400", "demo.rom", "FE5A", "",
                                  "fail", "", "1200", "2", "run", "fixed", "COM1", "earlier", "", "", "", ""};
    f.resize(fields);
    if (index < f.size()) f[index] = value;
    std::string text;
    for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
    return Signed(text);
}

// A line without its line end, as the set-aside file keeps it.
std::string Bare(const std::string& line) { return line.substr(0, line.size() - 1); }

std::vector<std::string> Keys(const RecordSpool& spool) {
    std::vector<std::string> keys;
    for (const SpooledRecord& s : spool.Records()) keys.push_back(s.key.substr(0, 1));
    return keys;
}

struct Spooled {
    std::string a, b, c;  // good records' lines, as Add writes them
    Spooled() {
        test::TempDir dir;
        RecordSpool spool(dir.file("s.spool"));
        std::string error;
        EXPECT_TRUE(spool.Open(error)) << error;
        for (const auto& [key, chip] : {std::pair<char, int>{'a', 1}, {'b', 2}, {'c', 3}})
            EXPECT_TRUE(spool.Add(Kept(key, chip), error)) << error;
        const std::vector<std::string> lines = test::Lines(dir.Read("s.spool"));
        EXPECT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0] + "\n", kHeader);
        a = lines[1] + "\n", b = lines[2] + "\n", c = lines[3] + "\n";
    }
};

TEST(RecordSpool, ItsCrcIsIeee) { EXPECT_EQ(Crc32Hex("123456789"), "cbf43926"); }

// Damaged spools of every kind: none stops the start or loses a good record;
// each damaged line moves alone, with its bytes and why, to the set-aside
// file; the spool keeps the good ones, whole.
TEST(RecordSpool, ADamagedLineIsSetAsideAloneAndEveryGoodRecordKept) {
    const Spooled good;
    const std::string notOld = "; their records have not reached the record server";
    struct Damage {
        size_t line;
        std::string why, bytes;
    };
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> keys;  // of the records kept, in order
        std::vector<Damage> damaged;    // set aside, the cut short line last
        std::vector<std::string> notices;  // after "the record spool PATH "
    } rows[] = {
        {"no damage", kHeader + good.a + good.b + good.c, {"a", "b", "c"}, {}, {}},
        {"a line of the version before jobs (17 fields, without job and job id) is a record",
         kHeader + good.a + Signed(good.b.substr(0, good.b.rfind(',') - 2)) + good.c, {"a", "b", "c"}, {}, {}},
        {"a CRC that does not match",
         kHeader + good.a + good.b.substr(0, 40) + "X" + good.b.substr(41) + good.c,
         {"a", "c"},
         {{3, "its CRC-32 does not match its text (the line was changed or damaged)",
           good.b.substr(0, 40) + "X" + good.b.substr(41, good.b.size() - 42)}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server"}},
        {"a lone - for a number", kHeader + good.a + WithField(10, "-") + good.c, {"a", "c"},
         {{3, "its chip number \"-\" is not a whole number within range", Bare(WithField(10, "-"))}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server"}},
        {"numbers past int and int64, a verdict, a key and waits that do not read",
         kHeader + WithField(10, "2147483648") + WithField(1, "9223372036854775808") + good.a +
             WithField(9, "-9223372036854775809") + WithField(7, "maybe") + WithField(0, std::string(31, 'b') + "g") +
             WithField(12, "slow") + good.c,
         {"a", "c"},
         {{2, "its chip number \"2147483648\" is not a whole number within range", Bare(WithField(10, "2147483648"))},
          {3, "its time \"9223372036854775808\" is not a whole number of seconds", Bare(WithField(1, "9223372036854775808"))},
          {5, "its duration \"-9223372036854775809\" is not a whole number of milliseconds",
           Bare(WithField(9, "-9223372036854775809"))},
          {6, "its verdict \"maybe\" is none of pass, fail, refused, no writer", Bare(WithField(7, "maybe"))},
          {7, "its key \"" + std::string(31, 'b') + "g\" is not 32 hex digits", Bare(WithField(0, std::string(31, 'b') + "g"))},
          {8, "its waits \"slow\" are neither fast nor fixed", Bare(WithField(12, "slow"))}},
         {"had 6 damaged lines: moved to SET with why" + notOld}},
        {"a wrong field count", kHeader + good.a + WithField(0, std::string(32, 'b'), 16) + WithField(99, "", 18),
         {"a"},
         {{3, "it has 16 fields, not 19", Bare(WithField(0, std::string(32, 'b'), 16))},
          {4, "it has 18 fields, not 19", Bare(WithField(99, "", 18))}},
         {"had 2 damaged lines: moved to SET with why" + notOld}},
        {"an unclosed quote, a good record after it", kHeader + WithField(8, "\"open, on") + good.c, {"c"},
         {{2, "it holds a quote that is never closed", Bare(WithField(8, "\"open, on"))}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server"}},
        {"a \\ that stands for nothing", kHeader + WithField(8, "a\\tb") + good.a, {"a"},
         {{2, "its field 9 has a \\ that stands for nothing", Bare(WithField(8, "a\\tb"))}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server"}},
        {"a last line cut short", kHeader + good.a + good.b + good.c.substr(0, 50), {"a", "b"},
         {{4, "cut short (the program ended while writing it)", good.c.substr(0, 50)}},
         {"ended in a record cut short (the program ended while writing it); it was taken off: its chip was never "
          "counted as recorded (its bytes are in SET)"}},
        {"garbage bytes, CR LF and blank lines",
         kHeader + good.a + std::string("\0\xff\xfe,\"\x01\r", 7) + "\n\n" + good.b.substr(0, good.b.size() - 1) +
             "\r\n" + "\r\n" + good.c,
         {"a", "b", "c"},
         {{3, "it does not end in a CRC-32", std::string("\0\xff\xfe,\"\x01\r", 7)}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server"}},
        {"a damaged header, then everything cut short", "# otpwriter record spool, vers\n" + good.a + "cccc,17651",
         {"a"},
         {{1, "it does not end in a CRC-32", "# otpwriter record spool, vers"},
          {3, "cut short (the program ended while writing it)", "cccc,17651"}},
         {"had 1 damaged line: moved to SET with why; its record has not reached the record server",
          "ended in a record cut short (the program ended while writing it); it was taken off: its chip was never "
          "counted as recorded (its bytes are in SET)"}},
        {"the previous version's CSV: a quoted line break, a lone -, an unclosed quote",
         kOldHeader + std::string(32, 'a') + ",1765180801,auto,RX,,,,pass,\"two\nlines\",5,1,run,fast,COM1,s,,\n" +
             std::string(32, 'b') + ",1765180802,auto,RX,,,,pass,,-,2,run,fast,COM1,s,,\n" +
             std::string(32, 'b') + ",\"1765180802,auto\n" + std::string(32, 'c') +
             ",1765180803,auto,RX,,,,fail,x,5,3,run,fixed,COM1,s,,\n",
         {"a", "c"},
         {{4, "its duration \"-\" is not a whole number of milliseconds",
           std::string(32, 'b') + ",1765180802,auto,RX,,,,pass,,-,2,run,fast,COM1,s,,"},
          {5, "an unclosed quote", std::string(32, 'b') + ",\"1765180802,auto"}},
         {"had 2 damaged lines: moved to SET with why" + notOld}},
        {"nothing but a header", kHeader, {}, {}, {}},
        {"an empty file", "", {}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string path = dir.file("s.spool"), setAside = path + ".set-aside";
        dir.Write("s.spool", row.text);
        std::vector<std::string> notices;
        for (std::string n : row.notices) {
            if (const size_t set = n.find("SET"); set != std::string::npos) n.replace(set, 3, setAside);
            notices.push_back("the record spool " + path + " " + n);
        }
        std::string error;
        {
            RecordSpool spool(path);
            ASSERT_TRUE(spool.Open(error)) << error;
            EXPECT_EQ(Keys(spool), row.keys);
            EXPECT_EQ(spool.OpenNotices(), notices);
            if (row.keys == std::vector<std::string>{"a", "b", "c"})
                for (size_t i = 0; i < 3; ++i) {
                    const SpooledRecord want = Kept(static_cast<char>('a' + i), static_cast<int>(i + 1));
                    const ChipRecord& r = spool.Records()[i].record;
                    EXPECT_EQ(CsvLine(r), CsvLine(want.record));
                    EXPECT_EQ(r.station, want.record.station);
                }
        }
        // Each damaged line's entry: where, why, and its bytes as they were.
        const std::string aside = dir.Read("s.spool.set-aside");
        size_t at = 0;
        for (const Damage& d : row.damaged) {
            const std::string entry = " " + path + " line " + std::to_string(d.line) + ": " + d.why + "; its " +
                                      std::to_string(d.bytes.size()) + " bytes follow:\n" + d.bytes + "\n\n";
            at = aside.find(entry, at);
            EXPECT_NE(at, std::string::npos) << entry << "\n---\n" << aside;
        }
        EXPECT_EQ(fs::exists(setAside), !row.damaged.empty());
        // The spool holds its good records alone, whole: read again, nothing to say.
        RecordSpool again(path);
        ASSERT_TRUE(again.Open(error)) << error;
        EXPECT_EQ(Keys(again), row.keys);
        EXPECT_EQ(again.OpenNotices(), std::vector<std::string>());
        if (!row.keys.empty()) {
            EXPECT_EQ(dir.Read("s.spool").substr(0, kHeader.size()), kHeader);
        }
        EXPECT_EQ(dir.Read("s.spool.set-aside"), aside);
    }
}

// A spool cut at any byte, as a crash may leave it: no record but the one
// cut is lost, and nothing stops the start.
TEST(RecordSpool, ASpoolCutAnywhereKeepsItsWholeRecords) {
    const Spooled good;
    const std::string text = kHeader + good.a + good.b;
    test::TempDir dir;
    // Every 9th byte (each cut syncs the file), and each line's end and the bytes beside it.
    std::set<size_t> cuts;
    for (size_t cut = 0; cut <= text.size(); cut += 9) cuts.insert(cut);
    for (const size_t end : {kHeader.size(), kHeader.size() + good.a.size(), text.size()})
        cuts.insert({end - 1, end, std::min(end + 1, text.size())});
    for (const size_t cut : cuts) {
        SCOPED_TRACE(cut);
        dir.Write("s.spool", text.substr(0, cut));
        RecordSpool spool(dir.file("s.spool"));
        std::string error;
        ASSERT_TRUE(spool.Open(error)) << error;
        std::vector<std::string> keys;
        if (cut >= kHeader.size() + good.a.size()) keys.push_back("a");
        if (cut == text.size()) keys.push_back("b");
        EXPECT_EQ(Keys(spool), keys);
    }
}

// The previous version's spool in the working folder is taken in once:
// its good records join the station's spool, its damaged line is set aside,
// and it goes.
TEST(RecordSpool, ThePreviousVersionsSpoolIsTakenInOnce) {
    test::TempDir dir;
    const std::string path = dir.file("station.spool"), legacy = dir.file("otpwriter-record.spool");
    std::string error;
    {
        RecordSpool spool(path);
        ASSERT_TRUE(spool.Open(error) && spool.Add(Kept('a', 1), error)) << error;
    }
    dir.Write("otpwriter-record.spool",
              kOldHeader + std::string(32, 'a') + ",1765180801,auto,RX,,,,pass,,5,1,run,fast,COM1,s,,\n" +
                  std::string(32, 'b') + ",1765180802,auto,RX,,,,fail,\"two\nlines, \"\"quoted\"\"\",5,2,run,fast,"
                  "COM1,s,,\n" + std::string(32, 'c') + ",x,auto,RX,,,,pass,,5,3,run,fast,COM1,s,,\n");
    auto spool = std::make_unique<RecordSpool>(path);
    ASSERT_TRUE(spool->Open(error, legacy)) << error;
    EXPECT_EQ(Keys(*spool), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(spool->Records()[1].record.failure, "two\nlines, \"quoted\"");
    EXPECT_EQ(spool->OpenNotices(),
              (std::vector<std::string>{
                  "the record spool " + legacy + " had 1 damaged line: moved to " + path +
                      ".set-aside with why; its record has not reached the record server",
                  "the record spool the previous version kept, " + legacy + ", was taken into " + path +
                      ": 2 records"}));
    EXPECT_FALSE(fs::exists(legacy));
    EXPECT_NE(dir.Read("station.spool.set-aside").find(" " + legacy + " line 5: its time \"x\" is not a whole number"),
              std::string::npos);
    EXPECT_TRUE(spool->Add(Kept('d', 4), error)) << error;
    spool = std::make_unique<RecordSpool>(path);
    ASSERT_TRUE(spool->Open(error, legacy)) << error;
    EXPECT_EQ(Keys(*spool), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_TRUE(spool->OpenNotices().empty());
}

// A record the server refused for what it holds leaves the spool for the
// set-aside file, with the server's reason and a line the spool takes again.
TEST(RecordSpool, ARefusedRecordIsSetAsideWithTheServersReason) {
    test::TempDir dir;
    const std::string path = dir.file("s.spool");
    std::string error;
    RecordSpool spool(path);
    ASSERT_TRUE(spool.Open(error)) << error;
    for (const auto& [key, chip] : {std::pair<char, int>{'a', 1}, {'b', 2}, {'c', 3}})
        ASSERT_TRUE(spool.Add(Kept(key, chip), error)) << error;
    ASSERT_TRUE(spool.SetAside(Kept('b', 2), "value too long\nfor type text", error)) << error;
    EXPECT_EQ(Keys(spool), (std::vector<std::string>{"a", "c"}));
    const Spooled good;
    EXPECT_EQ(dir.Read("s.spool"), kHeader + good.a + good.c);
    const std::string aside = dir.Read("s.spool.set-aside");
    EXPECT_NE(aside.find(" " + path + ": refused by the record server: value too long\\nfor type text; the record, as "
                         "the spool keeps it (once mended, a line the spool takes again):\n" + good.b + "\n"),
              std::string::npos)
        << aside;
    // One not in the spool (refused as it was sent) goes to the file alone.
    ASSERT_TRUE(spool.SetAside(Kept('d', 4), "why", error)) << error;
    EXPECT_EQ(Keys(spool), (std::vector<std::string>{"a", "c"}));
    ASSERT_TRUE(spool.Clear(error)) << error;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(spool.Empty());
    EXPECT_TRUE(spool.Add(Kept('e', 5), error)) << error;
    EXPECT_EQ(dir.Read("s.spool").substr(0, kHeader.size()), kHeader);
}

#ifndef _WIN32

// Blocks until `fd` has a byte or is closed.
char Await(int fd) {
    char c = 0;
    return read(fd, &c, 1) == 1 ? c : 0;
}

// One program per spool: a second one on the same path is refused at once,
// naming the file, in this process or another, also once the first has
// cleared and replaced the spool; it is free once the first has gone.
TEST(RecordSpool, ASecondProgramOnTheSpoolIsRefused) {
    test::TempDir dir;
    const std::string path = dir.file("s.spool");
    const std::string refused = "the record spool " + path + " is used by another program (it holds " + path +
                                ".lock): one program at a time may keep records in it";
    std::string error;
    {
        RecordSpool first(path), second(path);
        ASSERT_TRUE(first.Open(error)) << error;
        ASSERT_TRUE(first.Add(Kept('a', 1), error) && first.SetAside(Kept('a', 1), "x", error) &&
                    first.Add(Kept('b', 2), error) && first.Clear(error))
            << error;
        EXPECT_FALSE(second.Open(error));
        EXPECT_EQ(error, refused);
        EXPECT_FALSE(second.Add(Kept('c', 3), error));
        EXPECT_EQ(error, "the record spool " + path + " is not open");
    }
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toChild[1]);
        close(toParent[0]);
        RecordSpool spool(path);
        std::string why;
        const bool open = spool.Open(why);
        if (write(toParent[1], open ? "o" : "x", 1) != 1) _exit(2);
        Await(toChild[0]);
        _exit(open ? 0 : 1);
    }
    close(toChild[0]);
    close(toParent[1]);
    EXPECT_EQ(Await(toParent[0]), 'o');
    {
        RecordSpool spool(path);
        EXPECT_FALSE(spool.Open(error));
        EXPECT_EQ(error, refused);
    }
    close(toChild[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    close(toParent[0]);
    RecordSpool spool(path);
    EXPECT_TRUE(spool.Open(error)) << error;
}

// The spool and its companions are the user's alone.
TEST(RecordSpool, ItsFilesAreTheUsersAlone) {
    test::TempDir dir;
    const mode_t mask = umask(022);
    const std::string path = dir.file("s.spool");
    dir.Write("s.spool", kHeader + "damaged\n");
    chmod(path.c_str(), 0644);
    std::string error;
    {
        RecordSpool spool(path);
        EXPECT_TRUE(spool.Open(error) && spool.Add(Kept('a', 1), error)) << error;
    }
    umask(mask);
    for (const std::string name : {"s.spool", "s.spool.lock", "s.spool.set-aside"}) {
        struct stat st {};
        ASSERT_EQ(stat(dir.file(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

// Adds records in a child whose files may grow to `limit` bytes past the
// spool's size after the first record; the error of the first refused Add
// is written to `errorFile`.
void FillInChild(const std::string& path, long limit, const std::string& errorFile) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        RecordSpool spool(path);
        std::string error;
        if (!spool.Open(error) || !spool.Add(Kept('a', 1), error)) _exit(2);
        struct stat st {};
        stat(path.c_str(), &st);
        const rlimit rl{static_cast<rlim_t>(st.st_size + limit), static_cast<rlim_t>(st.st_size + limit)};
        setrlimit(RLIMIT_FSIZE, &rl);
        for (int chip = 2; chip < 1000; ++chip) {
            if (!spool.Add(Kept('b', chip), error)) {
                FILE* f = fopen(errorFile.c_str(), "w");
                fputs(error.c_str(), f);
                fclose(f);
                _exit(0);
            }
        }
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A record that does not fit is refused with the system's reason, and the
// file keeps whole records only: read again, nothing is cut or set aside.
TEST(RecordSpool, ARecordThatDoesNotFitLeavesNoPartOfItself) {
    test::TempDir dir;
    const std::string path = dir.file("s.spool");
    FillInChild(path, 1000, dir.file("error.txt"));
    EXPECT_EQ(dir.Read("error.txt"), "the record spool " + path + " cannot be written: File too large");
    const std::string text = dir.Read("s.spool");
    EXPECT_EQ(text.back(), '\n');
    RecordSpool spool(path);
    std::string error;
    ASSERT_TRUE(spool.Open(error)) << error;
    EXPECT_EQ(spool.Records().size(), test::Lines(text).size() - 1);
    EXPECT_GE(spool.Records().size(), 3u);
    EXPECT_TRUE(spool.OpenNotices().empty());
}

// The same on a full file system (a small tmpfs, mounted by root only).
TEST(RecordSpool, ARecordOnAFullDiskLeavesNoPartOfItself) {
    test::TempDir dir;
    const std::string disk = dir.file("disk");
    fs::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
    const std::string path = disk + "/s.spool";
    FillInChild(path, 1 << 30, dir.file("error.txt"));
    EXPECT_EQ(dir.Read("error.txt"), "the record spool " + path + " cannot be written: No space left on device");
    {
        RecordSpool spool(path);
        std::string error;
        EXPECT_TRUE(spool.Open(error)) << error;
        const std::string text = dir.Read("disk/s.spool");
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(spool.Records().size(), test::Lines(text).size() - 1);
        EXPECT_GE(spool.Records().size(), 50u);
        EXPECT_TRUE(spool.OpenNotices().empty());
    }
    umount(disk.c_str());
}

// Where a station's spool is: beside its log, else in the user's data
// folder, made for the user alone; the station's name made a file name.
TEST(RecordSpool, AStationsSpoolIsBesideItsLogOrInTheUsersDataFolder) {
    test::TempDir dir;
    dir.Write("file", "");
    const std::string savedXdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const bool hadXdg = std::getenv("XDG_DATA_HOME") != nullptr;
    const std::string d = dir.path();
    const struct {
        const char* name;
        std::string station, log, xdg, home;  // xdg "-": unset
        std::string path;                      // empty: refused
        std::string error;
        std::string made;  // a folder made 0700
    } rows[] = {
        {"beside the log", "line-pc-3", d + "/logs/p.csv", d + "/x", d, d + "/logs/otpwriter-record-line-pc-3.spool",
         "", d + "/logs"},
        {"the XDG data folder", "line-pc-3", "", d + "/x", d, d + "/x/otpwriter/otpwriter-record-line-pc-3.spool", "",
         d + "/x/otpwriter"},
        {"the home's data folder", "pc", "", "-", d + "/h", d + "/h/.local/share/otpwriter/otpwriter-record-pc.spool",
         "", d + "/h/.local"},
        {"a relative XDG_DATA_HOME is none", "pc", "", "x", d + "/h",
         d + "/h/.local/share/otpwriter/otpwriter-record-pc.spool", "", ""},
        {"a name made safe", "Line 2/\xc3\xa4\\..%", "", d + "/x", d,
         d + "/x/otpwriter/otpwriter-record-Line%202%2F%C3%A4%5C..%25.spool", "", ""},
        {"a name too long for a file", std::string(300, 'n'), "", d + "/x", d,
         d + "/x/otpwriter/otpwriter-record-" + std::string(150, 'n') + "-" + Crc32Hex(std::string(300, 'n')) +
             ".spool",
         "", ""},
        {"no folder can be made", "pc", "", d + "/file", d, "",
         "no folder for the record spool: " + d + "/file/otpwriter cannot be made: Not a directory", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.xdg == "-") unsetenv("XDG_DATA_HOME");
        else setenv("XDG_DATA_HOME", row.xdg.c_str(), 1);
        setenv("HOME", row.home.c_str(), 1);
        std::string path, error;
        const bool chosen = RecordSpoolPath(row.station, row.log, path, error);
        EXPECT_EQ(chosen, !row.path.empty()) << error;
        EXPECT_EQ(path, row.path);
        EXPECT_EQ(error, row.error);
        if (!row.made.empty()) {
            struct stat st {};
            ASSERT_EQ(stat(row.made.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        }
        if (chosen) {
            RecordSpool spool(path);
            EXPECT_TRUE(spool.Open(error) && spool.Add(Kept('a', 1), error)) << error;
        } else {
            // A window that stays open with nowhere to keep records runs no chip, and says why.
            ChipLedger ledger;
            ledger.SetStation(row.station);
            std::string opened, ready;
            bool waiting = true;
            EXPECT_FALSE(UseRecordServer(ledger, "postgresql://127.0.0.1:1/line", d, opened));
            EXPECT_EQ(opened, row.error);
            EXPECT_FALSE(ledger.ReadyToRecord(ready, waiting));
            EXPECT_EQ(ready, row.error);
            EXPECT_FALSE(waiting);
        }
    }
    if (hadXdg) setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    setenv("HOME", savedHome.c_str(), 1);
}

#endif

}  // namespace
}  // namespace otp
