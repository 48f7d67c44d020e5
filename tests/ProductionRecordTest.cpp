// The production record: CSV lines, the log on disk (whole lines only, the
// chip numbers running on), the tally, and recorded operations against the
// emulated writer.
#include <gtest/gtest.h>
#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <ctime>

#include <filesystem>
#include <functional>
#include <regex>

#include "OperationFixture.h"
#include "RomFixture.h"
#include "emulator/IcAccess.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "operations/Selectors.h"
#include "operations/Startup.h"
#include "production/ChipRecorder.h"
#include "romfile/LoadRomFile.h"
#include "romfile/SaveRomFile.h"
#include "romfile/UploadRom.h"
#include "view/HexText.h"

using namespace otp;

namespace {

ChipRecord Sample() {
    ChipRecord r;
    r.when = 1796640000;
    r.operation = "auto";
    r.body = "RX4400";
    r.romFile = "/lines/demo.rom";
    r.checksum = "FE5A";
    r.verdict = Verdict::Fail;
    r.failure = "OTP Blank Check Fail !!!";
    r.durationMs = 512;
    r.chip = 7;
    r.run = RunId("line-pc-3", 1796640000);
    r.writer = "COM3";
    return r;
}

}  // namespace

TEST(ProductionRecord, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
    const struct {
        std::string text, field;
    } rows[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"Größe", "Größe"},
    };
    for (const auto& row : rows) EXPECT_EQ(CsvField(row.text), row.field) << row.text;
}

TEST(ProductionRecord, TextASpreadsheetWouldRunIsWrittenAsTextAndReadBack) {
    const struct {
        std::string text, field;
    } rows[] = {
        {"=1+2", "'=1+2"}, {"+COM1", "'+COM1"}, {"-5", "'-5"},     {"@SUM(A1)", "'@SUM(A1)"},
        {"\tlot", "'\tlot"}, {"\rlot", "'\rlot"},   {"'ann", "''ann"}, {"''", "'''"},
        {"a=b", "a=b"},      {"", ""},             {" -x", " -x"},   {"lot 7", "lot 7"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SpreadsheetSafe(row.text), row.field) << row.text;
        EXPECT_EQ(FromSpreadsheetSafe(row.field), row.text) << row.field;
    }
}

TEST(ProductionRecord, ALineHoldsEveryFieldInTheHeadersOrder) {
    test::SetTimeZone("UTC-1");
    ChipRecord r = Sample();
    r.romFile = "/lines/a,b.rom";
    r.rollingCode = "0100 0101";
    r.lot = "lot 7, night";
    r.operatorName = "Ana";
    EXPECT_EQ(CsvHeader(), "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,waits,writer,lot,operator,job,job_id");
    EXPECT_EQ(CsvLine(r),
              "2026-12-07T11:40:00+01:00,auto,RX4400,\"/lines/a,b.rom\",FE5A,0100 0101,fail,"
              "OTP Blank Check Fail !!!,512,7,line-pc-3 2026-12-07T11:40:00+01:00,fixed,COM3,\"lot 7, night\",Ana,,");
    // Offsets east and west of UTC, of half hours, across the date line of either side.
    const struct {
        const char* tz;
        std::time_t when;
        const char* local;
    } zones[] = {
        {"UTC+5", 1796640000, "2026-12-07T05:40:00-05:00"},
        {"UTC+5", 1796608800, "2026-12-06T21:00:00-05:00"},
        {"UTC-9:30", 1796640000, "2026-12-07T20:10:00+09:30"},
        {"UTC-9:30", 1796673600, "2026-12-08T05:30:00+09:30"},
        {"UTC0", 1796640000, "2026-12-07T10:40:00+00:00"},
    };
    for (const auto& zone : zones) {
        test::SetTimeZone(zone.tz);
        EXPECT_EQ(IsoLocalTime(zone.when), zone.local) << zone.tz;
    }
    test::SetTimeZone(nullptr);
    EXPECT_TRUE(std::regex_match(IsoLocalTime(std::time(nullptr)),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));
}

TEST(ProductionRecord, TheTallyCountsChipsAndFailuresInARow) {
    const struct {
        std::vector<Verdict> verdicts;
        std::string summary;
        int inARow;
    } rows[] = {
        {{}, "passed 0, failed 0, yield -", 0},
        {{Verdict::Pass, Verdict::Pass, Verdict::Fail}, "passed 2, failed 1, yield 66.7 %", 1},
        {{Verdict::Fail, Verdict::NoWriter, Verdict::Refused}, "passed 0, failed 2, refused 1, yield 0.0 %", 2},
        {{Verdict::Fail, Verdict::Pass, Verdict::Refused}, "passed 1, failed 1, refused 1, yield 50.0 %", 0},
        {{Verdict::Refused, Verdict::Refused}, "passed 0, failed 0, refused 2, yield -", 0},
    };
    for (const auto& row : rows) {
        Tally t;
        for (Verdict v : row.verdicts) t.Add(v);
        EXPECT_EQ(t.Summary(), row.summary);
        EXPECT_EQ(t.failsInARow, row.inARow);
    }
}

TEST(ProductionLog, NewLogsGetTheHeaderAndNumbersRunOnAcrossOpenings) {
    test::TempDir dir;
    const std::string path = dir.file("run.csv");
    std::string error;
    for (int opening = 0; opening < 2; ++opening) {
        auto log = ProductionLog::Open(path, error);
        ASSERT_TRUE(log) << error;
        ChipRecord r = Sample();
        r.chip = 0;  // not numbered yet
        ASSERT_TRUE(log->Append(r, error)) << error;
        EXPECT_EQ(r.chip, opening + 1);
    }
    const std::string text = dir.Read("run.csv");
    EXPECT_EQ(text.rfind(CsvHeader() + "\r\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_NE(text.find(",512,2," + Sample().run + ",fixed,COM3,,,,\r\n"), std::string::npos);

    const std::string unopenable[] = {dir.file("no/such/folder/run.csv"), dir.path()};
    for (const std::string& bad : unopenable) {
        EXPECT_FALSE(ProductionLog::Open(bad, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

// A log begun for other columns (another program's, a newer version's) is
// not appended to with rows of another width: the open says how its columns
// differ and what to do, and the file stays as it was.
TEST(ProductionLog, ALogOfOtherColumnsIsRefusedAndLeftAsItIs) {
    const std::string today = CsvHeader();
    const struct {
        const char* name;
        std::string text;
        std::string difference;  // empty: opens
    } rows[] = {
        {"today's columns", today + "\r\nt,auto,B,,,,pass,,1,1,r,fixed,COM1,,,,\r\n", ""},
        {"one more column", today + ",station\r\n", "it has 18 columns, this program writes 17; it has station, which this program does not write"},
        {"another order", "operation,time" + today.substr(today.find(",body")) + "\r\n",
         "it has 17 columns, this program writes 17; its columns stand in another order"},
        {"someone else's notes", "buy milk\r\n",
         "it has 1 column, this program writes 17; it lacks time, operation, body, rom_file, checksum, rolling_code, "
         "verdict, failure, duration_ms, chip, run, waits, writer, lot, operator, job, job_id; it has buy milk, which "
         "this program does not write"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        dir.Write("run.csv", row.text);
        std::string error;
        auto log = ProductionLog::Open(dir.file("run.csv"), error);
        EXPECT_EQ(static_cast<bool>(log), row.difference.empty()) << error;
        if (!row.difference.empty()) {
            EXPECT_EQ(error, "the production log " + dir.file("run.csv") + " was begun for other columns (" + row.difference +
                                 "): name a new file for the log, and keep this one as it is");
        }
        EXPECT_EQ(dir.Read("run.csv"), row.text);
    }
}

// A log begun by an earlier version (fewer columns) stops no line: the
// records go on in a file of today beside it, the old file stays as it was,
// and the chip numbers and rolling codes of the old file, and of a file that
// continued it on another day, are read; a second opening that day goes on
// in the same file.
TEST(ProductionLog, ALogOfAnEarlierVersionGoesOnInAFileOfTodayBesideIt) {
    const std::string today = CsvHeader();
    const std::string older = today.substr(0, today.find(",job,"));  // before the job columns
    test::TempDir dir;
    const std::string oldText = older + "\r\nt,auto,B,,,0100,pass,,1,1,r,fixed,COM1,,\r\nt,auto,B,,,,fail,x,1,2,r,fixed,COM1,,\r\n";
    dir.Write("run.csv", oldText);
    dir.Write("run-2026-01-31.csv", today + "\r\nt,auto,B,,,0200,pass,,1,5,r2,fixed,COM1,,,J,ab\r\n");
    dir.Write("run-notes.csv", "buy milk\r\n");  // not a continuation: never read
    const std::string next = dir.file("run-" + IsoLocalTime(std::time(nullptr)).substr(0, 10) + ".csv");
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        std::string error;
        auto log = ProductionLog::Open(dir.file("run.csv"), error);
        ASSERT_TRUE(log) << error;
        EXPECT_EQ(log->Path(), next);
        EXPECT_EQ(log->Notice(), "the production log " + dir.file("run.csv") +
                                     " was begun by an earlier version of this program (it has 15 columns, this "
                                     "program writes 17; it lacks job, job_id): the records go on in " + next +
                                     " beside it; the chip numbers and rolling codes of both are read");
        EXPECT_EQ(log->History().Count("COM1"), 5 + opening);
        ASSERT_TRUE(log->History().Holder("0100"));
        ASSERT_TRUE(log->History().Holder("0200"));
        EXPECT_EQ(log->History().Holder("0200")->chip, 5);
        EXPECT_EQ(log->History().PassedChips("ab"), 1);
        ChipRecord r = Sample();
        r.writer = "COM1";
        r.chip = 0;
        ASSERT_TRUE(log->Append(r, error)) << error;
        EXPECT_EQ(r.chip, 6 + opening);
    }
    EXPECT_EQ(dir.Read("run.csv"), oldText);
    const std::string written = dir.Read(next.substr(dir.path().size() + 1));
    EXPECT_EQ(written.rfind(today + "\r\n", 0), 0u);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
}

// The order of a job counts chips, not rows: a chip passes when a step of it
// passed and none failed; a refused row touched no chip.
TEST(ProductionLog, AJobsPassedChipsAreCountedOncePerChip) {
    LogHistory history;
    history.Header(CsvHeaderFields());
    const struct {
        const char* jobId;
        const char* run;
        int chip;
        Verdict verdict;
    } rows[] = {
        {"ab", "r1", 1, Verdict::Pass},    {"ab", "r1", 1, Verdict::Pass},     // blank, then program: one chip
        {"ab", "r1", 2, Verdict::Pass},    {"ab", "r1", 2, Verdict::Fail},     // verify failed: not passed
        {"ab", "r1", 3, Verdict::Refused},                                     // no chip
        {"ab", "r2", 1, Verdict::Pass},                                        // another run's chip 1
        {"cd", "r1", 4, Verdict::Pass},    {"", "r1", 5, Verdict::Pass},       // another job, none
        {"ab", "r1", 6, Verdict::NoWriter},
    };
    for (const auto& row : rows) history.OfJob(row.jobId, row.run, "COM1", row.chip, row.verdict);
    EXPECT_EQ(history.PassedChips("ab"), 2);
    EXPECT_EQ(history.PassedChips("cd"), 1);
    EXPECT_EQ(history.PassedChips("ef"), 0);
}

// What may happen to a log file on a line PC: a FIFO named as the log, a
// last line some other program left without its end, the log removed or
// replaced while the program runs. No record is glued to another, none goes
// out of sight, and nothing hangs.
TEST(ProductionLog, NoRecordIsGluedLostOrWaitedFor) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs, and removing an open file, are POSIX";
#else
    const struct {
        const char* name;
        std::function<void(test::TempDir&)> before;  // before the log is opened
        std::function<void(test::TempDir&)> after;   // once it is open
        bool opens;
        bool appends;
        std::string contents;  // what the file at the path then holds ("" for anything)
    } rows[] = {
        {"a FIFO is refused at once", [](test::TempDir& d) { ASSERT_EQ(mkfifo(d.file("run.csv").c_str(), 0600), 0); },
         nullptr, false, false, ""},
        {"a last line without its end gets one before the next record",
         [](test::TempDir& d) { d.Write("run.csv", CsvHeader() + "\r\nlast line"); }, nullptr, true, true,
         CsvHeader() + "\r\nlast line\r\n" + CsvLine([] {
             // That line names no writer: the record is its writer's first.
             ChipRecord r = Sample();
             r.chip = 1;
             return r;
         }()) + "\r\n"},
        {"a log removed meanwhile takes no record", nullptr,
         [](test::TempDir& d) { ASSERT_EQ(std::remove(d.file("run.csv").c_str()), 0); }, true, false, ""},
        {"a log replaced meanwhile takes no record", nullptr,
         [](test::TempDir& d) {
             d.Write("other.csv", "someone else's\r\n");
             ASSERT_EQ(std::rename(d.file("other.csv").c_str(), d.file("run.csv").c_str()), 0);
         },
         true, false, "someone else's\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        if (row.before) row.before(dir);
        std::string error;
        auto log = ProductionLog::Open(dir.file("run.csv"), error);
        EXPECT_EQ(static_cast<bool>(log), row.opens) << error;
        if (!log) continue;
        if (row.after) row.after(dir);
        ChipRecord r = Sample();
        r.chip = 0;  // not numbered yet
        EXPECT_EQ(log->Append(r, error), row.appends) << error;
        EXPECT_TRUE(row.appends || error.find("removed, renamed or replaced") != std::string::npos) << error;
        EXPECT_TRUE(row.contents.empty() || dir.Read("run.csv") == row.contents) << dir.Read("run.csv");
    }
#endif
}

// A disk that takes only part of a line: the part is taken back, so the log
// still ends with a whole line and the next line starts on its own.
TEST(ProductionLog, ALineIsWholeOrAbsent) {
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and a limit on the size of files (setrlimit), which Windows does not have";
#else
    test::TempDir dir;
    const std::string path = dir.file("run.csv");
    std::string error;
    {
        auto log = ProductionLog::Open(path, error);
        ChipRecord r = Sample();
        ASSERT_TRUE(log && log->Append(r, error)) << error;
    }
    const std::string before = dir.Read("run.csv");
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 10), static_cast<rlim_t>(before.size() + 10)};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        auto log = ProductionLog::Open(path, why);
        ChipRecord r = Sample();
        const bool written = log && log->Append(r, why);
        _exit(!written && why.find("cannot write the production log") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(dir.Read("run.csv"), before);
#endif
}

namespace {

// The host with a recorder between its operations and the form, against a
// demo writer with a blank chip in its socket, on the test clock.
struct RecordingBench {
    test::TempDir dir;
    VirtualPacer pacer;
    std::shared_ptr<emu::WriterEmulator> writer = emu::MakeDemoWriter();
    emu::EmulatedPortOpener opener{writer, pacer};
    FormModel form;
    OperationWatch watch{form};
    ChipRecorder recorder{watch, "line-pc-3 run"};
    std::unique_ptr<Session> session;

    RecordingBench() {
        dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
        dir.Write("demo-rx4400.rom", test::ReadSource("examples/demo-rx4400.rom"));
        session = std::make_unique<Session>(watch, pacer, opener, dir.path());
        EXPECT_EQ(RunStartup(session->ctx()), StartupResult::Ready);
    }
    Context& ctx() { return session->ctx(); }
    ChipResult Run(const std::string& name, Outcome (*op)(Context&)) { return recorder.Run(ctx(), name, op); }
    // Keeps run.csv as the log and loads the demo image.
    void LogAndLoad() {
        std::string error;
        ASSERT_TRUE(recorder.UseLog(dir.file("run.csv"), error)) << error;
        form.openFiles.assign(1, dir.file("demo-rx4400.rom"));
        ASSERT_EQ(LoadROMFile1Click(ctx()), Outcome::Done);
    }
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(dir.Read("run.csv"));
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
        return lines;
    }
};

}  // namespace

TEST(ChipRecorder, EachRecordedOperationGetsItsVerdictCountAndLine) {
    RecordingBench b;
    b.LogAndLoad();

    const struct {
        const char* name;
        std::function<void(RecordingBench&)> before;
        Verdict verdict;
        std::string failure;
        std::string line;  // the log line after its time
    } rows[] = {
        {"a blank chip passes", nullptr, Verdict::Pass, "", ",auto,RX4400,demo-rx4400.rom,FE5A,,pass,,3520,1"},
        {"the same chip again fails its blank check", nullptr, Verdict::Fail, "OTP Blank Check Fail !!!",
         ",auto,RX4400,demo-rx4400.rom,FE5A,,fail,OTP Blank Check Fail !!!,510,2"},
        {"a fresh chip passes again", [](RecordingBench& b) { emu::PutInSocket(*b.writer, emu::IcKind::Blank); },
         Verdict::Pass, "", ",auto,RX4400,demo-rx4400.rom,FE5A,,pass,,3520,3"},
        {"an empty socket fails", [](RecordingBench& b) { emu::PutInSocket(*b.writer, emu::IcKind::None); },
         Verdict::Fail, "OTP Blank Check Fail !!!", ",auto,RX4400,demo-rx4400.rom,FE5A,,fail,OTP Blank Check Fail !!!,510,4"},
        {"a writer that says nothing", [](RecordingBench& b) { std::string e; b.writer->AddFault("c:die", e); }, Verdict::NoWriter,
         "OTP Blank Check Fail !!! (no answer from the writer within 510 ms)",
         ",auto,RX4400,demo-rx4400.rom,FE5A,,no writer,OTP Blank Check Fail !!! (no answer from the writer within 510 ms),510,5"},
    };
    Tally expected;
    size_t line = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.before) row.before(b);
        const ChipResult r = b.Run("auto", Button1Click);
        EXPECT_EQ(r.verdict, row.verdict);
        EXPECT_EQ(r.failure, row.failure);
        EXPECT_EQ(r.logError, "");
        expected.Add(row.verdict);
        const std::vector<std::string> lines = b.LogLines();
        ASSERT_EQ(lines.size(), ++line + 0);
        const std::string& csv = lines.back();
        EXPECT_EQ(csv.substr(25), row.line + ",line-pc-3 run,fixed,COM1,,,,");
    }
    EXPECT_EQ(b.recorder.tally().Summary(), expected.Summary());
}

TEST(ChipRecorder, RefusalsRollingCodesAndAnUnwritableLog) {
    RecordingBench b;
    std::string error;
    const std::string folder = b.dir.file("logs");
    EXPECT_FALSE(b.recorder.UseLog(folder + "/run.csv", error));

    // No log, no operation: the writer is not asked anything.
    const std::vector<std::string> pane = b.form.Lines(Control::RichEdit2);
    ChipResult r = b.Run("auto", Button1Click);
    EXPECT_EQ(r.verdict, Verdict::Refused);
    EXPECT_EQ(r.failure.rfind("cannot open the production log " + folder + "/run.csv: ", 0), 0u) << r.failure;
    EXPECT_EQ(b.form.Lines(Control::RichEdit2), pane);

    // Once the log can be written, the run goes on: a body with a rolling code.
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    b.form.SetSelection(Control::ComboBox1, 1);
    ASSERT_EQ(ComboBox1Change(b.ctx()), Outcome::Done);
    b.form.SetSelection(Control::ComboBox3, 1);
    ASSERT_EQ(ComboBox3Change(b.ctx()), Outcome::Done);
    ASSERT_EQ(UploadtoWriter1Click(b.ctx()), Outcome::Done);
    r = b.Run("program", Button3Click);
    EXPECT_EQ(r.verdict, Verdict::Pass) << r.failure;
    EXPECT_EQ(r.rollingCode, "0100 0101 0102 0103 0104 0105 0106 0107");  // for the station's tile

    b.form.SetSelection(Control::ComboBox1, -1);
    r = b.Run("blank", Button2Click);
    EXPECT_EQ(r.verdict, Verdict::Refused);
    EXPECT_EQ(r.failure, "The body is not available !!!");

    std::vector<std::string> lines;
    std::istringstream in(b.dir.Read("logs/run.csv"));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(25, line.size() - 26));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], ",program,RX4720,,0DF0,0100 0101 0102 0103 0104 0105 0106 0107,pass,,4010,1,line-pc-3 run,fixed,COM1,,,,");
    EXPECT_EQ(lines[2], ",blank,,,0DF0,,refused,The body is not available !!!,0,2,line-pc-3 run,fixed,COM1,,,,");
    EXPECT_EQ(b.recorder.tally().Summary(), "passed 1, failed 0, refused 1, yield 100.0 %");
}

// A chip that answers Read with its status alone, locked (01) or blank (02),
// is read and shown as ever; the findings say so and that the values are
// what the writer could read, and its log row carries no checksum.
TEST(ChipRecorder, AReadOfALockedOrBlankChipShowsWhatTheWriterReadAndLogsNoChecksum) {
    RecordingBench b;
    std::string error;
    ASSERT_TRUE(b.recorder.UseLog(b.dir.file("run.csv"), error)) << error;
    const struct {
        emu::IcKind kind;
        std::string options, optionSum;  // the option row's values and their sum
        std::string cell, objectSum;     // every value of the object dump and their sum
        std::string note;
        std::string line;  // the log line after its time
    } rows[] = {
        {emu::IcKind::Locked, "01 5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF", "0E4D", "00", "0000",
         "the chip reported itself locked (status 01); the values shown are what the writer could read",
         ",read,RX4400,,,,pass,the chip reported itself locked (status 01); the values shown are what the writer could "
         "read,2268,1"},
        {emu::IcKind::Blank, "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF", "0FF0", "FF", "FC00",
         "the chip reported itself blank (status 02); the values shown are what the writer could read",
         ",read,RX4400,,,,pass,the chip reported itself blank (status 02); the values shown are what the writer could "
         "read,2268,2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(emu::IcKindName(row.kind));
        emu::PutInSocket(*b.writer, row.kind);
        const ChipResult r = b.Run("read", Button6Click);
        EXPECT_EQ(r.verdict, Verdict::Pass);
        EXPECT_EQ(r.note, row.note);
        std::vector<std::string> lines = {"0000: " + row.options + " ", "Receiver Data Length = 16 bytes",
                                          "Option Checksum =" + row.optionSum};
        for (int address = 0; address < 1024; address += 16) {
            std::string dump = FormatHex(address, 4) + ":";
            for (int k = 0; k < 16; ++k) dump += " " + row.cell;
            lines.push_back(dump + " ");
        }
        lines.push_back("Receiver Data Length = 1024 bytes");
        lines.push_back("Object Checksum = " + row.objectSum);
        EXPECT_EQ(b.form.Lines(Control::RichEdit2), lines);
        EXPECT_EQ(b.LogLines().back().substr(25), row.line + ",line-pc-3 run,fixed,COM1,,,,");
    }
}

// A record names the image the chip was worked from as the host verified it
// in the writer, whatever the fields show by then: a lock change shows the
// writer's own checksum field in Edit1, a save the saved file's name in Edit2.
TEST(ChipRecorder, TheRecordNamesTheImageVerifiedInTheWriter) {
    RecordingBench b;
    b.LogAndLoad();
    const struct {
        const char* name;
        std::function<void(RecordingBench&)> before;
        std::string image;  // the log's rom_file and checksum
    } rows[] = {
        {"the loaded file", nullptr, "demo-rx4400.rom,FE5A"},
        {"a lock change",
         [](RecordingBench& b) {
             b.form.SetSelection(Control::ComboBox4, 1);
             EXPECT_EQ(ComboBox4Change(b.ctx()), Outcome::Done);
             EXPECT_NE(b.form.GetFieldText(Control::Edit1), "FE5A");
         },
         "demo-rx4400.rom,FE5A"},
        {"a save under another name",
         [](RecordingBench& b) {
             b.form.saveFiles.assign(1, b.dir.file("other.rom"));
             EXPECT_EQ(SaveROMFile1Click(b.ctx()), Outcome::Done);
             EXPECT_EQ(b.form.GetFieldText(Control::Edit2), "other.rom");
         },
         "demo-rx4400.rom,FE5A"},
        {"an upload, whose image no file is known for",
         [](RecordingBench& b) { EXPECT_EQ(UploadtoWriter1Click(b.ctx()), Outcome::Done); }, ",FE5A"},
        {"a load whose read-back failed",
         [](RecordingBench& b) {
             std::string e;
             ASSERT_TRUE(b.writer->AddFault("W:corrupt=3", e)) << e;
             b.form.openFiles.assign(1, b.dir.file("demo-rx4400.rom"));
             EXPECT_EQ(LoadROMFile1Click(b.ctx()), Outcome::Failed);
         },
         ","},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.before) row.before(b);
        emu::PutInSocket(*b.writer, emu::IcKind::Blank);
        EXPECT_EQ(b.Run("blank", Button2Click).verdict, Verdict::Pass);
        const std::string line = b.LogLines().back();
        EXPECT_NE(line.find(",blank,RX4400," + row.image + ",,pass,"), std::string::npos) << line;
    }
}
