// Damaged CSV: the reader that reads around a damaged line, and the
// production log and the report over logs with every kind of damage.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "production/CsvRows.h"
#include "production/ProductionLog.h"
#include "report/ReportSource.h"

using namespace otp;

namespace {

// Each row as "LINE@OFFSET-END:field|field" when good, "LINE@OFFSET-END!why:raw"
// when damaged; the text is fed in pieces of `piece` bytes.
std::vector<std::string> ReadRows(const std::string& text, size_t piece, size_t fields, size_t maxRow = kMaxCsvRowBytes) {
    std::vector<std::string> out;
    const auto check = [&](const std::vector<std::string>& f) {
        return f.size() == fields ? std::string() : std::to_string(f.size()) + " fields";
    };
    const auto take = [&](CsvRow& row) {
        std::string s = std::to_string(row.line) + "@" + std::to_string(row.offset) + "-" + std::to_string(row.end);
        if (!row.damage.empty()) {
            EXPECT_TRUE(row.fields.empty());
            out.push_back(s + "!" + row.damage + ":" + row.raw);
            return;
        }
        EXPECT_EQ(row.raw, text.substr(row.offset, row.raw.size()));
        s += ":";
        for (size_t i = 0; i < row.fields.size(); ++i) s += (i ? "|" : "") + row.fields[i];
        out.push_back(s);
    };
    CsvRows reader(check, take, maxRow);
    for (size_t at = 0; at < text.size(); at += piece) reader.Feed(text.data() + at, std::min(piece, text.size() - at));
    reader.Finish();
    return out;
}

}  // namespace

TEST(CsvRows, ADamagedLineIsReadAroundAndTheRowsAfterItAreRead) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> rows;
        size_t maxRow = kMaxCsvRowBytes;
    };
    const Case cases[] = {
        {"plain rows, every line end", "a,b\r\nc,d\ne,f\rg,h", {"1@0-5:a|b", "2@5-9:c|d", "3@9-13:e|f", "4@13-16:g|h"}},
        {"blank lines are no rows", "a,b\r\n\r\n\nc,d\r\n", {"1@0-5:a|b", "4@8-13:c|d"}},
        {"quoted commas, quotes, line breaks", "\"a,\"\"x\"\"\",\"1\r\n2\"\r\nc,d\r\n",
         {"1@0-18:a,\"x\"|1\r\n2", "3@18-23:c|d"}},
        {"a byte-order mark", "\xEF\xBB\xBF" "a,b\r\n", {"1@0-8:a|b"}},
        {"a row the check refuses is damaged alone", "a,b\r\nc\r\nd,e\r\n",
         {"1@0-5:a|b", "2@5-8!1 fields:c", "3@8-13:d|e"}},
        {"a stray quote", "a,b\"c\r\n\"a\"x,b\r\nd,e\r\n",
         {"1@0-7!a stray quote:a,b\"c", "2@7-15!a stray quote:\"a\"x,b", "3@15-20:d|e"}},
        {"a tear inside quotes, whole rows appended", "a,b\r\nc,\"torn\r\nd,e\r\nf,g\r\n",
         {"1@0-5:a|b", "2@5-14!an unclosed quote:c,\"torn", "3@14-19:d|e", "4@19-24:f|g"}},
        {"a tear that a later quote closes", "a,\"torn\r\nd,e\r\nf,\"g,h\"\r\ni,j\r\n",
         {"1@0-9!an unclosed quote:a,\"torn", "2@9-14:d|e", "3@14-23:f|g,h", "4@23-28:i|j"}},
        {"an unclosed quote at the end", "a,b\r\nc,\"d\r\ne", {"1@0-5:a|b", "2@5-11!an unclosed quote:c,\"d", "3@11-12!1 fields:e"}},
        {"a torn last line", "a,b\r\nc,d\r\ne", {"1@0-5:a|b", "2@5-10:c|d", "3@10-11!1 fields:e"}},
        {"a row grown past the bound", "a,\"x\r\nyy\r\nzz\r\nc,d\r\n",
         {"1@0-6!an unclosed quote:a,\"x", "2@6-10!1 fields:yy", "3@10-14!1 fields:zz", "4@14-19:c|d"}, 12},
        {"a line past the bound", "a,b\r\n0123456789abcdef\r\nc,d\r\n",
         {"1@0-5:a|b", "2@5-23!a line of more than 12 bytes:0123456789ab", "3@23-28:c|d"}, 12},
    };
    for (const Case& c : cases)
        for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, c.text.size() + 1})
            EXPECT_EQ(ReadRows(c.text, piece, 2, c.maxRow), c.rows) << c.name << ", pieces of " << piece;
}

TEST(CsvRows, TellsWhetherTheTextEndsInTheMiddleOfALine) {
    const struct {
        std::string text;
        bool open;
    } cases[] = {{"", false}, {"a,b\r\n", false}, {"a,b\r", false}, {"a,b\n", false}, {"a,b", true}, {"a,\"b\r\n", false}, {"a,\"b", true}};
    for (const auto& c : cases) {
        CsvRows reader([](const std::vector<std::string>&) { return std::string(); }, [](CsvRow&) {});
        reader.Feed(c.text.data(), c.text.size());
        EXPECT_EQ(reader.EndsOpen(), c.open) << c.text;
    }
}

namespace {

// A record of COM1 (or `writer`) as the log has it.
ChipRecord Chip(int chip, const std::string& code, const std::string& writer = "COM1", const std::string& lot = "L7") {
    ChipRecord r;
    r.when = 1796640000 + chip;
    r.operation = "auto";
    r.body = "RX4400";
    r.romFile = "/lines/demo.rom";
    r.checksum = "FE5A";
    r.rollingCode = code;
    r.durationMs = 512;
    r.chip = chip;
    r.run = RunId("line-pc-3", 1796640000);
    r.writer = writer;
    r.lot = lot;
    r.operatorName = "ann";
    return r;
}

std::string Line(const ChipRecord& r) { return CsvLine(r) + "\r\n"; }

// `line` cut short after the first `end`.
std::string Torn(const std::string& line, const std::string& end) { return line.substr(0, line.find(end) + end.size()); }

// `line` with its first `from` replaced by `to`.
std::string Replaced(std::string line, const std::string& from, const std::string& to) {
    return line.replace(line.find(from), from.size(), to);
}

}  // namespace

// A log with one kind of damage in each row: the log opens, says which lines
// it read around, leaves the file as it is, numbers the next chip after the
// highest of its writer and knows every rolling code of the good rows; the
// report reads the same good rows and warns of the damaged ones.
TEST(DamagedLog, EveryGoodRowCountsAndEachDamagedLineIsNamed) {
    const std::string header = CsvHeader() + "\r\n";
    const struct {
        const char* name;
        std::string rows;                     // after the header
        std::string damage;                   // the notice's parenthesis; empty when none
        int nextChip;                         // COM1's next number
        std::map<std::string, int> codes;     // rolling code: its chip
        size_t reported;                      // records the report reads
        std::vector<std::string> warnings;    // the report's, after "log.csv: line "
    } cases[] = {
        {"a chip number that does not read",
         Line(Chip(1, "0101")) + Replaced(Line(Chip(7, "0107")), ",512,7,", ",512,-,") + Line(Chip(2, "0102")),
         "3: chip '-' is no number", 3, {{"0101", 1}, {"0102", 2}}, 2, {"3: chip '-' is no number; row left out"}},
        {"a chip number past int",
         Line(Chip(1, "0101")) + Replaced(Line(Chip(7, "0107")), ",512,7,", ",512,2147483648,") + Line(Chip(2, "0102")),
         "3: chip '2147483648' is no number", 3, {{"0101", 1}, {"0102", 2}}, 2,
         {"3: chip '2147483648' is no number; row left out"}},
        {"a wrong field count",
         Line(Chip(1, "0101")) + Replaced(Line(Chip(9, "0109")), ",L7,ann", "") + Line(Chip(2, "0102")),
         "3: 15 fields where 17 are written", 3, {{"0101", 1}, {"0102", 2}}, 2,
         {"3: 15 fields where the header names 17; row left out"}},
        {"an unclosed quote mid-file",
         Line(Chip(1, "0101")) + Replaced(Line(Chip(9, "0109")), ",RX4400,", ",\"RX4400,") + Line(Chip(2, "0102")) +
             Line(Chip(3, "0103")),
         "3: an unclosed quote", 4, {{"0101", 1}, {"0102", 2}, {"0103", 3}}, 3,
         {"3: an unclosed quote; row left out"}},
        {"a tear inside quotes, whole records appended after it",
         Line(Chip(1, "0101")) + Torn(Line(Chip(2, "0102", "COM1", "lot 7, night")), "lot 7, ni") + "\r\n" +
             Line(Chip(3, "0103")) + Line(Chip(4, "0104", "COM1", "lot 8, day")),
         "3: an unclosed quote", 5, {{"0101", 1}, {"0103", 3}, {"0104", 4}}, 3, {"3: an unclosed quote; row left out"}},
        {"a torn last line", Line(Chip(1, "0101")) + Line(Chip(2, "0102")) + Torn(Line(Chip(3, "0103")), ",RX44"),
         "4: 3 fields where 17 are written", 3, {{"0101", 1}, {"0102", 2}}, 2,
         {"4: 3 fields where the header names 17; row left out"}},
        {"steps on one chip share its number; another writer's numbers are its own",
         Line(Chip(1, "")) + Line(Chip(1, "0101")) + Line(Chip(2, "0102")) + Line(Chip(2, "")) +
             Line(Chip(5, "0205", "COM2")),
         "", 3, {{"0101", 1}, {"0102", 2}, {"0205", 5}}, 5, {}},
        {"a formula-looking lot and operator",
         Line([] {
             ChipRecord r = Chip(1, "0101", "COM1", "=HYPERLINK(\"http://x\",\"y\")");
             r.operatorName = "'ann";
             return r;
         }()),
         "", 2, {{"0101", 1}}, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string text = header + c.rows;
        dir.Write("log.csv", text);
        std::string error;
        auto log = ProductionLog::Open(dir.file("log.csv"), error);
        ASSERT_TRUE(log) << error;
        EXPECT_EQ(dir.Read("log.csv"), text);  // read, never mended
        const size_t damaged = c.damage.empty() ? 0 : 1;
        EXPECT_EQ(log->DamagedCount(), static_cast<long long>(damaged));
        EXPECT_EQ(log->DamageNotice(), c.damage.empty() ? "" : "the production log " + dir.file("log.csv") +
                                                                   " has 1 damaged line (" + c.damage +
                                                                   "); the records around it are read");
        EXPECT_EQ(log->History().Count("COM1") + 1, c.nextChip);
        for (const auto& [code, chip] : c.codes) {
            const auto holder = log->History().Holder(code);
            ASSERT_TRUE(holder) << code;
            EXPECT_EQ(holder->chip, chip) << code;
        }
        // The next record is numbered on and stands on a line of its own.
        ChipRecord next = Chip(0, "0199");
        ASSERT_TRUE(log->Append(next, error)) << error;
        EXPECT_EQ(next.chip, c.nextChip);
        log.reset();
        log = ProductionLog::Open(dir.file("log.csv"), error);
        ASSERT_TRUE(log) << error;
        EXPECT_EQ(log->DamagedCount(), static_cast<long long>(damaged));
        EXPECT_EQ(log->History().Count("COM1"), c.nextChip);

        const LogRead read = ReadLogText("log.csv", text);
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(read.records.size(), c.reported);
        std::vector<std::string> warnings;
        for (const std::string& w : c.warnings) warnings.push_back("log.csv: line " + w);
        EXPECT_EQ(read.warnings, warnings);
    }
}

// Text a spreadsheet would run as a formula is written with a leading ', and
// comes back whole through the log's readers: the log's history and the
// report.
TEST(DamagedLog, FormulaLookingTextComesBackWhole) {
    ChipRecord r = Chip(1, "-0101");
    r.lot = "=HYPERLINK(\"http://x\",\"y\")";
    r.operatorName = "'ann";
    r.failure = "@SUM(A1)";
    r.writer = "+COM1";
    r.body = "\tRX";
    r.run = "-pc 2026-12-07T11:40:00+01:00";
    const std::string line = CsvLine(r);
    EXPECT_NE(line.find(",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",''ann"), std::string::npos) << line;
    EXPECT_NE(line.find(",'@SUM(A1),512,1,'-pc 2026-12-07T11:40:00+01:00,fixed,'+COM1,"), std::string::npos) << line;

    test::TempDir dir;
    std::string error;
    {
        auto log = ProductionLog::Open(dir.file("log.csv"), error);
        ASSERT_TRUE(log) << error;
        r.chip = 0;
        ASSERT_TRUE(log->Append(r, error)) << error;
    }
    auto log = ProductionLog::Open(dir.file("log.csv"), error);
    ASSERT_TRUE(log) << error;
    EXPECT_EQ(log->History().Count("+COM1"), 1);
    ASSERT_TRUE(log->History().Holder("-0101"));
    EXPECT_EQ(log->History().Holder("-0101")->writer, "+COM1");

    const LogRead read = ReadLogText("log.csv", dir.Read("log.csv"));
    ASSERT_EQ(read.records.size(), 1u) << read.error;
    const ChipRecord& back = read.records[0];
    EXPECT_EQ(back.lot, r.lot);
    EXPECT_EQ(back.operatorName, r.operatorName);
    EXPECT_EQ(back.failure, r.failure);
    EXPECT_EQ(back.writer, r.writer);
    EXPECT_EQ(back.body, r.body);
    EXPECT_EQ(back.run, r.run);
    EXPECT_EQ(back.rollingCode, r.rollingCode);
    EXPECT_EQ(back.station, "-pc");
}

// Many damaged lines: the notice names the first of them and counts the rest.
TEST(DamagedLog, TheNoticeListsTheFirstDamagedLinesAndCountsTheRest) {
    test::TempDir dir;
    std::string text = CsvHeader() + "\r\n";
    for (int i = 0; i < 22; ++i) text += "torn\r\n";
    dir.Write("log.csv", text + Line(Chip(1, "0101")));
    std::string error;
    auto log = ProductionLog::Open(dir.file("log.csv"), error);
    ASSERT_TRUE(log) << error;
    EXPECT_EQ(log->DamagedCount(), 22);
    ASSERT_EQ(log->Damaged().size(), ProductionLog::kListedDamage);
    std::string listed;
    for (int line = 2; line < 22; ++line) listed += std::to_string(line) + ": 1 field where 17 are written; ";
    EXPECT_EQ(log->DamageNotice(), "the production log " + dir.file("log.csv") + " has 22 damaged lines (" + listed +
                                       "and 2 more); the records around them are read");
    EXPECT_EQ(log->History().Count("COM1"), 1);
}
