// The report command: its figures of logs of known contents, a chip's steps
// counted as one chip, the causes taken from failure texts, the time window,
// the usage and input errors, the record server's reader and its verdict
// over a log's, and the page's escaping.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "ReportLogs.h"
#include "cli/ReportCommand.h"
#include "record/RecordServer.h"
#ifndef _WIN32
#include "RecordServerSupport.h"
#endif
#include "report/HtmlText.h"
#include "report/ReportFigures.h"
#include "report/ReportTime.h"

using namespace otp;
using test::HasLine;

namespace {

class ReportTest : public test::ReportFixture {
protected:
    void WriteLogs() {
        dir.Write("today.csv", test::kTodaysLog);
        dir.Write("old.csv", test::kOldLog);
        dir.Write("header-only.csv", test::kHeaderOnly);
    }
    // The report of `sources` through `reader`, as RunReport gives it.
    int Report(const std::vector<std::string>& args, const RecordReader& reader) {
        out.str("");
        err.str("");
        CliEnvironment env{out, err, dir.path()};
        return RunReport(args, env, reader);
    }
};

// A row of a log of today's columns, on 2026-12-08 (UTC): a step on chip
// `chip` of `writer` in the run of `host`.
std::string Step(const std::string& time, const std::string& operation, const std::string& verdict,
                 const std::string& failure, int chip, const std::string& writer = "COM1",
                 const std::string& code = "", const std::string& host = "pc") {
    return "2026-12-08T" + time + "+00:00," + operation + ",RX4400,a.rom,FE5A," + code + "," + verdict + "," +
           failure + ",512," + std::to_string(chip) + "," + host + " 2026-12-08T10:00:00+00:00,fast," + writer +
           ",L1,ann\n";
}

// The lines of `text` from the one that is `title` to the next empty one.
std::vector<std::string> Section(const std::string& text, const std::string& title) {
    std::vector<std::string> lines;
    bool in = false;
    for (const std::string& line : test::Lines(text)) {
        if (line == title) in = true;
        else if (in && line.empty()) break;
        else if (in) lines.push_back(line);
    }
    return lines;
}

// A served record: `failure` empty for a pass.
ChipRecord Served(std::time_t when, int chip, const std::string& failure = "") {
    ChipRecord r;
    r.when = when;
    r.operation = "auto";
    r.body = "RX4400";
    r.rollingCode = "0100 0200";
    r.verdict = failure.empty() ? Verdict::Pass : Verdict::Fail;
    r.failure = failure;
    r.chip = chip;
    r.run = "pc 2026-12-08T10:00:00+00:00";
    r.writer = "COM1";
    r.station = "pc";
    r.lot = "L1";
    r.operatorName = "ann";
    return r;
}

}  // namespace

TEST_F(ReportTest, FiguresOfLogsOfEveryVersion) {
    WriteLogs();
    const struct {
        std::vector<std::string> sources;
        std::string line;
    } rows[] = {
        {{"today.csv"}, "Chips: 5 (passed 2, failed 3, refused 1, yield 40.0 %), 2026-12-08 09:05 to 2026-12-08 10:45"},
        // The hours are this computer's: 10:05+01:00 is 09:05 in UTC.
        {{"today.csv"}, "2026-12-08 09:00      2       1       1        1  50.0 %"},
        {{"today.csv"}, "2026-12-08 10:00      3       1       2        0  33.3 %"},
        {{"today.csv"}, "line-pc-3  COM1        2       1       1        1  50.0 %"},
        {{"today.csv"}, "line-pc-4  COM2        3       1       2        0  33.3 %"},
        // A body quoted for its comma; its only chip refused: no yield.
        {{"today.csv"}, "RX4720, rev B      0       0       0        1       -"},
        {{"today.csv"}, "Connect Error                      1"},
        {{"today.csv"}, "0100 0200  line-pc-3  COM1    1     2026-12-08T09:05:00+00:00  pass"},
        {{"today.csv"}, "           line-pc-4  COM2    1     2026-12-08T10:10:00+00:00  fail"},
        // Ten columns, five hours behind UTC: the day before becomes this one.
        {{"old.csv"}, "Chips: 2 (passed 1, failed 1, refused 1, yield 50.0 %), 2026-12-08 04:50 to 2026-12-08 07:10"},
        {{"old.csv"}, "unknown  unknown      2       1       1        1  50.0 %"},
        {{"old.csv"}, "2026-12-08 07:00      0       0       0        1       -"},
        {{"old.csv"}, "none"},  // no code twice in it
        {{"today.csv", "old.csv"}, "Chips: 7 (passed 3, failed 4, refused 2, yield 42.9 %), 2026-12-08 04:50 to 2026-12-08 10:45"},
        {{"today.csv", "old.csv"}, "unknown        2       1       1        1  50.0 %"},
        {{"today.csv", "old.csv"}, "OTP Verify Fail                    2"},
        {{"today.csv", "old.csv"}, "0100 0200  unknown    unknown  7     2026-12-08T04:50:00+00:00  pass"},
        {{"today.csv", "old.csv"}, "           line-pc-4  COM2     1     2026-12-08T10:10:00+00:00  fail"},
        // By lot and by operator; the old log names neither.
        {{"today.csv", "old.csv"}, "L7          2       1       1        1  50.0 %"},
        {{"today.csv", "old.csv"}, "L8          3       1       2        0  33.3 %"},
        {{"today.csv", "old.csv"}, "(none)      2       1       1        1  50.0 %"},
        {{"today.csv", "old.csv"}, "ann           2       1       1        1  50.0 %"},
        {{"today.csv", "old.csv"}, "bo            3       1       2        0  33.3 %"},
        {{"today.csv", "old.csv"}, "(none)        2       1       1        1  50.0 %"},
        {{"header-only.csv"}, "No chips."},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"report"};
        args.insert(args.end(), row.sources.begin(), row.sources.end());
        EXPECT_EQ(Run(args), 0) << err.str();
        EXPECT_TRUE(HasLine(out.str(), row.line)) << row.line << "\n" << out.str();
        EXPECT_EQ(err.str(), "");
    }
}

TEST_F(ReportTest, TheLotAndOperatorTablesAreOnThePage) {
    WriteLogs();
    ASSERT_EQ(Run({"report", "--html", "page.html", "today.csv"}), 0) << err.str();
    const std::string page = dir.Read("page.html");
    for (const char* shown : {"<h2>By lot</h2>", "<tr><td>L8</td><td class=\"n\">3</td><td class=\"n\">1</td>",
                              "<h2>By operator</h2>", "<tr><td>ann</td><td class=\"n\">2</td><td class=\"n\">1</td>"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    EXPECT_TRUE(HasLine(out.str(), "By lot")) << out.str();
    EXPECT_TRUE(HasLine(out.str(), "By operator")) << out.str();
    // No chip of these logs was made for a job.
    EXPECT_FALSE(HasLine(out.str(), "By job")) << out.str();
    EXPECT_EQ(page.find("<h2>By job</h2>"), std::string::npos);
}

// A job's chips, however many steps each, counted in a table of their own
// beside the chips of no job: its passed chips are its order's progress.
TEST_F(ReportTest, TheChipsOfEachJobAreCountedApart) {
    const std::string run = "pc 2026-12-08T10:00:00+00:00,fast,COM1,L1,ann,";
    const std::string job = "order,ab12cd34ef56ab78\n";
    dir.Write("jobs.csv", CsvHeader() + "\n" +
                              "2026-12-08T10:01:00+00:00,blank,RX4400,a.rom,FE5A,,pass,,512,1," + run + job +
                              "2026-12-08T10:01:05+00:00,program,RX4400,a.rom,FE5A,,pass,,512,1," + run + job +
                              "2026-12-08T10:02:00+00:00,auto,RX4400,a.rom,FE5A,,fail,OTP Verify Fail !!!,512,2," + run + job +
                              "2026-12-08T10:03:00+00:00,auto,RX4400,a.rom,FE5A,,pass,,512,3," + run + ",\n");
    ASSERT_EQ(Run({"report", "--html", "page.html", "jobs.csv"}), 0) << err.str();
    const std::vector<std::string> table = Section(out.str(), "By job");
    ASSERT_EQ(table.size(), 3u) << out.str();  // the heading, the job, all
    // A log does not hold the order: its quantity is the record's.
    EXPECT_EQ(table[1], "order  ab12cd34ef56ab78  -          2       1       1        0  50.0 %") << out.str();
    EXPECT_NE(dir.Read("page.html").find("<h2>By job</h2>"), std::string::npos);
}

TEST_F(ReportTest, AChipsStepsAreOneChip) {
    const std::string verifyFail = "OTP Verify Fail !!!";
    const struct {
        const char* what;
        std::string rows;
        std::vector<std::string> lines;  // lines the report holds
        std::string absent;              // a line it does not hold; empty: none
    } rows[] = {
        {"loop blank program verify, verify failing",
         Step("10:00:01", "blank", "pass", "", 1) + Step("10:00:02", "program", "pass", "", 1) +
             Step("10:00:03", "verify", "fail", verifyFail, 1),
         {"Chips: 1 (passed 0, failed 1, yield 0.0 %), 2026-12-08 10:00 to 2026-12-08 10:00",
          "OTP Verify Fail      1"},
         ""},
        {"load auto read: the code shown twice by one chip",
         Step("10:00:01", "auto", "pass", "", 1, "COM1", "0100 0200") +
             Step("10:00:04", "read", "pass", "", 1, "COM1", "0100 0200"),
         {"Chips: 1 (passed 1, failed 0, yield 100.0 %), 2026-12-08 10:00 to 2026-12-08 10:00"},
         "0100 0200  pc       COM1    1     2026-12-08T10:00:04+00:00  pass"},
        {"a log of a number per step counts a chip per step, as it always did",
         Step("10:00:01", "blank", "pass", "", 1) + Step("10:00:02", "program", "pass", "", 2) +
             Step("10:00:03", "verify", "fail", verifyFail, 3),
         {"Chips: 3 (passed 2, failed 1, yield 66.7 %), 2026-12-08 10:00 to 2026-12-08 10:00"},
         ""},
        {"every step refused: refused, not failed",
         Step("10:00:01", "auto", "refused", "The body is not available !!!", 1) +
             Step("10:00:02", "auto", "refused", "The body is not available !!!", 1),
         {"Chips: 0 (passed 0, failed 0, refused 1, yield -), 2026-12-08 10:00 to 2026-12-08 10:00"},
         ""},
        {"a step refused after one passed: the chip was not finished",
         Step("10:00:01", "blank", "pass", "", 1) + Step("10:00:02", "program", "refused", "no file", 1),
         {"Chips: 0 (passed 0, failed 0, refused 1, yield -), 2026-12-08 10:00 to 2026-12-08 10:00"},
         ""},
        {"a refused step done again and passed",
         Step("10:00:01", "auto", "refused", "no file", 1) + Step("10:00:09", "auto", "pass", "", 1),
         {"Chips: 1 (passed 1, failed 0, yield 100.0 %), 2026-12-08 10:00 to 2026-12-08 10:00"},
         ""},
        {"the first failure is the cause, the first step the time",
         Step("10:59:58", "blank", "fail", "OTP Blank Check Fail !!!", 1) +
             Step("11:00:05", "verify", "fail", verifyFail, 1),
         {"Chips: 1 (passed 0, failed 1, yield 0.0 %), 2026-12-08 10:59 to 2026-12-08 10:59",
          "2026-12-08 10:00      1       0       1        0  0.0 %", "OTP Blank Check Fail      1"},
         "2026-12-08 11:00      1       0       1        0  0.0 %"},
        {"a writer that did not answer fails the chip",
         Step("10:00:01", "blank", "pass", "", 1) +
             Step("10:00:02", "program", "no writer", "COM1 Connect Error (1)!!!", 1),
         {"Chips: 1 (passed 0, failed 1, yield 0.0 %), 2026-12-08 10:00 to 2026-12-08 10:00", "Connect Error      1"},
         ""},
        {"one number: chips of two writers and of two runs",
         Step("10:00:01", "auto", "pass", "", 1) + Step("10:00:01", "auto", "pass", "", 1, "COM2") +
             Step("10:00:01", "auto", "fail", verifyFail, 1, "COM1", "", "pc2"),
         {"Chips: 3 (passed 2, failed 1, yield 66.7 %), 2026-12-08 10:00 to 2026-12-08 10:00"},
         ""},
    };
    for (const auto& row : rows) {
        dir.Write("log.csv", test::kHeaderOnly + row.rows);
        EXPECT_EQ(Run({"report", "log.csv"}), 0) << err.str();
        for (const std::string& line : row.lines) EXPECT_TRUE(HasLine(out.str(), line)) << row.what << ": " << line << "\n" << out.str();
        if (!row.absent.empty()) { EXPECT_FALSE(HasLine(out.str(), row.absent)) << row.what << "\n" << out.str(); }
    }
}

TEST_F(ReportTest, ARollingCodeIsHeldByChipsNotBySteps) {
    // Two chips show one code, each in its auto and its read.
    dir.Write("log.csv", test::kHeaderOnly + Step("10:00:01", "auto", "pass", "", 1, "COM1", "0100 0200") +
                             Step("10:00:02", "read", "pass", "", 1, "COM1", "0100 0200") +
                             Step("10:00:03", "auto", "fail", "rolling code 0100 0200 was given before", 1, "COM2",
                                  "0100 0200") +
                             Step("10:00:04", "read", "pass", "", 1, "COM2", "0100 0200"));
    ASSERT_EQ(Run({"report", "log.csv"}), 0) << err.str();
    EXPECT_EQ(Section(out.str(), "Rolling codes held by more than one chip"),
              (std::vector<std::string>{"code       station  writer  chip  time                       verdict",
                                        "0100 0200  pc       COM1    1     2026-12-08T10:00:01+00:00  pass",
                                        "           pc       COM2    1     2026-12-08T10:00:03+00:00  fail"}))
        << out.str();
}

TEST_F(ReportTest, TheRecordServersVerdictStandsOverTheLogs) {
    // The chip passed at the station (its log) while the record server was
    // away; when its spooled record arrived, another station had passed its
    // rolling code, and the server failed it.
    const std::time_t started = 1796724001;  // 2026-12-08T10:00:01Z
    const std::string given = "rolling code 0100 0200 was given before, to chip 4 of COM2 at pc9";
    dir.Write("log.csv", test::kHeaderOnly + Step("10:00:01", "auto", "pass", "", 1, "COM1", "0100 0200") +
                             Step("10:00:09", "auto", "pass", "", 2, "COM1", "0300 0200"));
    const RecordReader record{[&](const std::string&, std::time_t, std::time_t, std::vector<ChipRecord>& rows,
                                  std::string&) {
                                  rows.push_back(Served(started, 1, given));
                                  return true;
                              },
                              [](const std::string& url) { return url + " (shown)"; }};
    const std::string failedOnce = "Chips: 2 (passed 1, failed 1, yield 50.0 %), 2026-12-08 10:00 to 2026-12-08 10:00";
    const struct {
        std::vector<std::string> sources;
        std::vector<std::string> lines;
    } rows[] = {
        {{"log.csv"}, {"Chips: 2 (passed 2, failed 0, yield 100.0 %), 2026-12-08 10:00 to 2026-12-08 10:00"}},
        {{"log.csv", "postgresql://db/line"},
         {"Production report of log.csv, postgresql://db/line (shown)", failedOnce, "rolling code was given before      1"}},
        {{"postgresql://db/line", "log.csv"}, {failedOnce}},
        {{"log.csv", "postgresql://db/line", "log.csv"}, {failedOnce}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = row.sources;
        EXPECT_EQ(Report(args, record), 0) << err.str();
        for (const std::string& line : row.lines) EXPECT_TRUE(HasLine(out.str(), line)) << line << "\n" << out.str();
    }
}

TEST_F(ReportTest, TheWindowIsHandedToTheRecordReader) {
    std::vector<std::pair<std::time_t, std::time_t>> asked;
    const RecordReader record{[&](const std::string&, std::time_t from, std::time_t to, std::vector<ChipRecord>& rows,
                                  std::string&) {
                                  asked.emplace_back(from, to);
                                  // A reader that gives more than asked is held to the window.
                                  rows = {Served(1796720400, 1), Served(1796727600, 2)};  // 09:00 and 11:00
                                  return true;
                              },
                              {}};
    const struct {
        std::vector<std::string> window;
        std::time_t from, to;
        std::string summary;
    } rows[] = {
        {{}, 0, 0, "Chips: 2 (passed 2, failed 0, yield 100.0 %), 2026-12-08 09:00 to 2026-12-08 11:00"},
        {{"--from", "2026-12-08T10:00"}, 1796724000, 0,
         "Chips: 1 (passed 1, failed 0, yield 100.0 %), 2026-12-08 11:00 to 2026-12-08 11:00"},
        {{"--to", "2026-12-08 10:00"}, 0, 1796724000,
         "Chips: 1 (passed 1, failed 0, yield 100.0 %), 2026-12-08 09:00 to 2026-12-08 09:00"},
        {{"--from", "2026-12-08", "--to", "2026-12-09"}, 1796688000, 1796774400,
         "Chips: 2 (passed 2, failed 0, yield 100.0 %), 2026-12-08 09:00 to 2026-12-08 11:00"},
    };
    for (const auto& row : rows) {
        asked.clear();
        std::vector<std::string> args{"postgresql://db/line"};
        args.insert(args.end(), row.window.begin(), row.window.end());
        EXPECT_EQ(Report(args, record), 0) << err.str();
        EXPECT_EQ(asked, (std::vector<std::pair<std::time_t, std::time_t>>{{row.from, row.to}}));
        EXPECT_TRUE(HasLine(out.str(), row.summary)) << row.summary << "\n" << out.str();
        // A reader that cannot show its URL shows none of it.
        EXPECT_TRUE(HasLine(out.str(), "Production report of the record server")) << out.str();
    }
}

#ifndef _WIN32
// On a real record server: the window goes into the query, and what lies
// outside it is never read.
TEST_F(ReportTest, TheWindowGoesIntoTheRecordServersQuery) {
    test::RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    std::string error;
    ASSERT_TRUE(RecordServer::Connect(server.Url(), error)) << error;  // makes the table
    for (const char* time : {"09:00", "10:30", "12:00"})
        ASSERT_EQ(server.Query(std::string("INSERT INTO chips (record_key, \"time\", operation, body, verdict, "
                                           "duration_ms, chip, run, waits, writer, station) VALUES ('") +
                               time + "', '2026-12-08T" + time + ":00Z', 'auto', 'RX4400', 'pass', 512, 1, 'pc " +
                               time + "', 'fast', 'COM1', 'pc')"),
                  "");
    const RecordReader program = RecordServerReader();
    size_t read = 0;
    const RecordReader counting{[&](const std::string& url, std::time_t from, std::time_t to,
                                    std::vector<ChipRecord>& rows, std::string& why) {
                                    const bool ok = program.read(url, from, to, rows, why);
                                    read = rows.size();
                                    return ok;
                                },
                                program.shown};
    const struct {
        std::vector<std::string> window;
        size_t read;
        std::string summary;
    } rows[] = {
        {{}, 3, "Chips: 3 (passed 3, failed 0, yield 100.0 %), 2026-12-08 09:00 to 2026-12-08 12:00"},
        {{"--from", "2026-12-08T10:30"}, 2, "Chips: 2 (passed 2, failed 0, yield 100.0 %), 2026-12-08 10:30 to 2026-12-08 12:00"},
        {{"--from", "2026-12-08T09:01", "--to", "2026-12-08T12:00"}, 1,
         "Chips: 1 (passed 1, failed 0, yield 100.0 %), 2026-12-08 10:30 to 2026-12-08 10:30"},
        {{"--to", "2026-12-08T09:00"}, 0, "No chips."},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{server.Url()};
        args.insert(args.end(), row.window.begin(), row.window.end());
        EXPECT_EQ(Report(args, counting), 0) << err.str();
        EXPECT_EQ(read, row.read) << row.summary;
        EXPECT_TRUE(HasLine(out.str(), row.summary)) << row.summary << "\n" << out.str();
    }
}
#endif

TEST_F(ReportTest, ACauseIsTheKindOfFailureNotTheChipsParticulars) {
    const struct {
        std::string failure;
        Verdict verdict;
        std::string cause;
    } rows[] = {
        {"OTP Verify Fail !!!", Verdict::Fail, "OTP Verify Fail"},
        {"OTP Verify Fail !!! (the writer answered 3000 bytes; no answer is that long)", Verdict::Fail,
         "OTP Verify Fail"},
        {"COM3 Connect Error (1)!!!", Verdict::NoWriter, "Connect Error"},
        {"rolling code FFFF 0100 ABCD 0000 FFFF FFFF FFFF FFFF was given before, to chip 3 of COM1", Verdict::Fail,
         "rolling code was given before"},
        {"Download error: Please check download code & read back code", Verdict::Fail, "Download error"},
        {"  OTP   Blank Check\tFail  ", Verdict::Fail, "OTP Blank Check Fail"},
        {"", Verdict::NoWriter, "no writer"},
        {"(1)", Verdict::Fail, "fail"},
    };
    for (const auto& row : rows) EXPECT_EQ(FailureCause(row.failure, row.verdict), row.cause) << row.failure;
}

TEST_F(ReportTest, TheWindowTakesLocalTimesFromIncludedToExcluded) {
    WriteLogs();
    const struct {
        std::vector<std::string> window;
        std::string summary;
    } rows[] = {
        {{"--from", "2026-12-08 10:00"}, "Chips: 3 (passed 1, failed 2, yield 33.3 %), 2026-12-08 10:10 to 2026-12-08 10:45"},
        {{"--to", "2026-12-08T10:00"},
         "Chips: 4 (passed 2, failed 2, refused 2, yield 50.0 %), 2026-12-08 04:50 to 2026-12-08 09:40"},
        {{"--from", "2026-12-08T09:05"},
         "Chips: 5 (passed 2, failed 3, refused 1, yield 40.0 %), 2026-12-08 09:05 to 2026-12-08 10:45"},
        {{"--from", "2026-12-08T04:00", "--to", "2026-12-08T09:05"},
         "Chips: 2 (passed 1, failed 1, refused 1, yield 50.0 %), 2026-12-08 04:50 to 2026-12-08 07:10"},
        {{"--from", "2026-12-08"}, "Chips: 7 (passed 3, failed 4, refused 2, yield 42.9 %), 2026-12-08 04:50 to 2026-12-08 10:45"},
        {{"--from", "2026-12-09"}, "No chips."},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"report", "today.csv", "old.csv"};
        args.insert(args.end(), row.window.begin(), row.window.end());
        EXPECT_EQ(Run(args), 0) << err.str();
        EXPECT_TRUE(HasLine(out.str(), row.summary)) << row.window[1] << "\n" << out.str();
    }
}

TEST_F(ReportTest, LogTimesAreReadWithTheirOffset) {
    const struct {
        std::string text;
        bool reads;
        std::time_t utc;
    } rows[] = {
        {"2026-12-08T14:55:02+01:00", true, 1796738102},
        {"2026-12-08T14:55:02+0100", true, 1796738102},
        {"2026-12-08T13:55:02Z", true, 1796738102},
        {"2026-12-08T08:25:02-05:30", true, 1796738102},
        {"2024-02-29T00:00:00+00:00", true, 1709164800},
        {"2026-12-08T14:55:02", false, 0},
        {"2026-12-08 14:55:02+01:00", false, 0},
        {"2026-02-29T00:00:00+00:00", false, 0},
        {"2026-12-08T24:00:00+00:00", false, 0},
        {"2026-12-08T14:55:02+01:00x", false, 0},
        {"", false, 0},
    };
    for (const auto& row : rows) {
        std::time_t t = 0;
        EXPECT_EQ(ParseLogTime(row.text, t), row.reads) << row.text;
        if (row.reads) { EXPECT_EQ(t, row.utc) << row.text; }
    }
}

TEST_F(ReportTest, UsageErrorsExitWith2AndSayWhatIsWanted) {
    WriteLogs();
    const std::string times = " takes a local time as 2026-12-08T10:00, \"2026-12-08 10:00\" or 2026-12-08, not '";
    const struct {
        std::vector<std::string> args;
        std::string complaint;
    } rows[] = {
        {{"report"}, "report needs a SOURCE: a production log or a postgresql:// URL"},
        {{"report", "--from", "2026-12-08T10", "today.csv"}, "--from" + times + "2026-12-08T10'"},
        {{"report", "--to", "08.12.2026", "today.csv"}, "--to" + times + "08.12.2026'"},
        {{"report", "--from", "2026-02-30", "today.csv"}, "--from" + times + "2026-02-30'"},
        {{"report", "--from", "2026-12-08T24:00", "today.csv"}, "--from" + times + "2026-12-08T24:00'"},
        {{"report", "--to", "2026-12-08T10:00:00", "today.csv"}, "--to" + times + "2026-12-08T10:00:00'"},
        {{"report", "today.csv", "--from"}, "--from needs a TIME, e.g. 2026-12-08T10:00"},
        {{"report", "today.csv", "--html"}, "--html needs a FILE"},
        {{"report", "--bogus", "today.csv"}, "unknown option '--bogus'"},
        {{"report", "--from", "2026-12-08", "--to", "2026-12-08", "today.csv"},
         "--from 2026-12-08 is not before --to 2026-12-08"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Run(row.args), 2) << row.complaint;
        EXPECT_EQ(err.str(), "otpwriter-cli report: " + row.complaint + "\nTry 'otpwriter-cli report --help'.\n");
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_EQ(Run({"report", "--help"}), 0);
    EXPECT_EQ(out.str(), ReportUsage());
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("otpwriter-cli report --help"), std::string::npos);
}

TEST_F(ReportTest, BadInputIsNamedByFileAndLine) {
    const std::string header = test::kHeaderOnly;
    const std::string good = "2026-12-08T10:05:00+01:00,auto,RX4400,,,,pass,,512,1,pc 2026-12-08T10:00:00+01:00,fast,COM1,,\n";
    const std::string second = "2026-12-08T10:07:00+01:00,auto,RX4400,,,,pass,,512,2,pc 2026-12-08T10:00:00+01:00,fast,COM1,,\n";
    const std::string noReport = "otpwriter-cli report: no report: 1 source could not be read\n";
    const std::string warning = "otpwriter-cli report: warning: log.csv: line ";
    const struct {
        std::string content;  // empty: no such file
        int status;
        std::string err;
        std::string chips;  // the summary of what was counted
    } rows[] = {
        {"", 1, "otpwriter-cli report: log.csv: cannot be read: No such file or directory\n" + noReport, ""},
        {"name,age\nann,3\n", 1,
         "otpwriter-cli report: log.csv: line 1: not a production log: its header lacks time, operation, body, "
         "rom_file, checksum, rolling_code, verdict, failure, duration_ms, chip\n" + noReport, ""},
        {"\n\n", 1, "otpwriter-cli report: log.csv: empty, not a production log (its first line names the columns)\n" + noReport,
         ""},
        {header + good + "2026-12-08T10:06:00+01:00,auto,RX4400\n" + second, 0,
         warning + "3: 3 fields where the header names 15; row left out\n", "Chips: 2 (passed 2, failed 0, yield 100.0 %)"},
        {header + "2026-12-08 10:05,auto,RX4400,,,,pass,,512,1,pc 2026,fast,COM1,,\n" + good, 0,
         warning + "2: time '2026-12-08 10:05' is no ISO 8601 time with its offset; row left out\n",
         "Chips: 1 (passed 1, failed 0, yield 100.0 %)"},
        {header + "2026-12-08T10:05:00+01:00,auto,RX4400,,,,maybe,,512,1,pc 2026,fast,COM1,,\n", 0,
         warning + "2: verdict 'maybe' is none of pass, fail, refused, no writer; row left out\n", "No chips."},
        // A failure text over two lines: the row after it starts on line 4.
        {header + "2026-12-08T10:05:00+01:00,auto,RX4400,,,,fail,\"two\nlines\",512,1,pc 2026,fast,COM1,,\n" +
             "2026-12-08T10:05:00+01:00,auto,RX4400,,,,pass,,512,x,pc 2026,fast,COM1,,\n",
         0, warning + "4: chip 'x' is no number; row left out\n", "Chips: 1 (passed 0, failed 1, yield 0.0 %)"},
    };
    for (const auto& row : rows) {
        std::remove(dir.file("log.csv").c_str());
        if (!row.content.empty()) dir.Write("log.csv", row.content);
        EXPECT_EQ(Run({"report", "log.csv"}), row.status) << row.content;
        EXPECT_EQ(err.str(), row.err) << row.content;
        if (row.status != 0) EXPECT_EQ(out.str(), "");
        else EXPECT_NE(out.str().find(row.chips), std::string::npos) << out.str();
        if (row.status == 0 && row.chips != "No chips.") {
            EXPECT_TRUE(HasLine(out.str(), "Rows left out: 1 (the warnings name them)")) << out.str();
        }
    }
    // One source that cannot be read stops the report of all.
    dir.Write("good.csv", header + good);
    EXPECT_EQ(Run({"report", "good.csv", "missing.csv", "good.csv"}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Run({"report", "--html", "no-folder/page.html", "good.csv"}), 1);
    EXPECT_EQ(err.str(), "otpwriter-cli report: cannot write the page no-folder/page.html: No such file or directory\n");
}

TEST_F(ReportTest, TheRecordServerIsReadThroughTheReaderHandedIn) {
    ChipRecord served;
    served.when = 1796738102;
    served.body = "RX4400";
    served.verdict = Verdict::Pass;
    served.chip = 4;
    served.writer = "COM5";
    served.station = "line-pc-9";
    ChipRecord fromRun = served;
    fromRun.station.clear();
    fromRun.run = "line-pc-8 2026-12-08T13:00:00Z";
    const RecordReader serving{[&](const std::string&, std::time_t, std::time_t, std::vector<ChipRecord>& rows,
                                   std::string&) {
                                   rows = {served, fromRun};
                                   return true;
                               },
                               RecordServerReader().shown};
    const RecordReader refusing{[](const std::string&, std::time_t, std::time_t, std::vector<ChipRecord>&,
                                   std::string& error) {
                                    error = "connection refused";
                                    return false;
                                },
                                RecordServerReader().shown};
    const std::string noReport = "otpwriter-cli report: no report: 1 source could not be read\n";
    const struct {
        std::string url;
        const RecordReader* reader;  // nullptr: the console's own
        int status;
        std::string err, line;
    } rows[] = {
        {"postgresql://db/otp", &serving, 0, "", "line-pc-9  COM5        1       1       0        0  100.0 %"},
        {"postgres://db/otp", &serving, 0, "", "line-pc-8  COM5        1       1       0        0  100.0 %"},
        {"postgresql://ann:secret@db:5432/otp", &refusing, 1,
         "otpwriter-cli report: postgresql://ann:***@db:5432/otp: connection refused\n" + noReport, ""},
        // The system's own words follow "failed: " (Windows has no such socket at all).
        {"postgresql://otp@/line?host=/nonexistent", nullptr, 1,
         "otpwriter-cli report: postgresql://otp@/line?host=/nonexistent: cannot be reached: connection to server on "
         "socket \"/nonexistent/.s.PGSQL.5432\" failed: ",
         ""},
    };
    for (const auto& row : rows) {
        out.str("");
        err.str("");
        CliEnvironment env{out, err, dir.path()};
        const int status = row.reader ? RunReport({row.url}, env, *row.reader) : Run({"report", row.url});
        EXPECT_EQ(status, row.status) << row.url;
        if (row.reader) EXPECT_EQ(err.str(), row.err) << row.url;
        else EXPECT_EQ(err.str().substr(0, row.err.size()), row.err) << err.str();
        if (!row.reader) { EXPECT_EQ(err.str().substr(err.str().size() - std::min(err.str().size(), noReport.size())), noReport); }
        if (!row.line.empty()) { EXPECT_TRUE(HasLine(out.str(), row.line)) << out.str(); }
    }
}

TEST_F(ReportTest, LogTextOnThePageStaysText) {
    const struct {
        std::string text, html;
    } rows[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
        {"a & 'b'", "a &amp; &#39;b&#39;"},
        {"two\nlines\x01", "two lines "},
        {"Größe", "Größe"},
        {"Gr\xF6\xDF" "e", "Gr\xEF\xBF\xBD\xEF\xBF\xBD" "e"},  // Latin-1, no UTF-8
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},            // an overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
    };
    for (const auto& row : rows) EXPECT_EQ(EscapeHtml(row.text), row.html) << row.text;
    EXPECT_EQ(Shortened("ÄÖÜäöü", 4), "ÄÖÜ…");
    EXPECT_EQ(Shortened("ÄÖÜä", 4), "ÄÖÜä");

    // A body name and a failure text that are markup, on the page of a log.
    const std::string header = test::kHeaderOnly;
    dir.Write("log.csv", header + "2026-12-08T10:05:00+01:00,auto,<script>alert(1)</script>,,,,fail,"
                                  "\"\"\"><img src=x onerror=alert(1)>\",512,1,pc 2026,fast,<b>COM1</b>,,\n");
    ASSERT_EQ(Run({"report", "--html", "page.html", "log.csv"}), 0) << err.str();
    const std::string page = dir.Read("page.html");
    for (const char* markup : {"<script", "<img", "<b>"}) EXPECT_EQ(page.find(markup), std::string::npos) << markup;
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;COM1&lt;/b&gt;"), std::string::npos);
}
