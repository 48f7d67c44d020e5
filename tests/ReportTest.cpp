// The report command: its figures of logs of known contents, the causes
// taken from failure texts, the time window, the usage and input errors,
// the record server's reader, and the page's escaping.
#include <gtest/gtest.h>

#include <ctime>

#include "CliSupport.h"
#include "ReportLogs.h"
#include "cli/ReportCommand.h"
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
};

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
        if (row.reads) EXPECT_EQ(t, row.utc) << row.text;
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
        if (row.status == 0 && row.chips != "No chips.")
            EXPECT_TRUE(HasLine(out.str(), "Rows left out: 1 (the warnings name them)")) << out.str();
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
    const RecordReader serving = [&](const std::string&, std::vector<ChipRecord>& rows, std::string&) {
        rows = {served, fromRun};
        return true;
    };
    const RecordReader refusing = [](const std::string&, std::vector<ChipRecord>&, std::string& error) {
        error = "connection refused";
        return false;
    };
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
        if (!row.reader) EXPECT_EQ(err.str().substr(err.str().size() - std::min(err.str().size(), noReport.size())), noReport);
        if (!row.line.empty()) EXPECT_TRUE(HasLine(out.str(), row.line)) << out.str();
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
