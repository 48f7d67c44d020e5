// Several writers from one station, in this process on test clocks: every
// step on every writer, a writer's trouble its own, one log with a writer
// column and chip numbers per writer, and no rolling code given twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "StationSupport.h"
#include "cli/CliOptions.h"
#include "production/ChipLedger.h"
#include "production/LogHistory.h"

using namespace otp;

namespace {

// The log rows of `port` (the last column), after their time and operation.
std::vector<std::string> RowsOf(const test::StationRun& run, const std::string& port) {
    std::vector<std::string> rows;
    for (size_t i = 1; i < run.log.size(); ++i) {
        const std::string& line = run.log[i];
        if (test::LogField(line, "writer") != port) continue;
        rows.push_back(line.substr(line.find(',', line.find(',') + 1) + 1));
    }
    return rows;
}

const std::string kPass = "RX4400,demo.rom,FE5A,,pass,";

}  // namespace

TEST(Station, EveryWriterRunsEveryStepAndKeepsItsTroubleToItself) {
    const std::vector<std::string> ports = {"COM1", "COM2", "COM3"};
    const struct {
        const char* name;
        std::function<void(test::StationBench&)> setup;
        std::vector<std::string> args;  // after --writers and --log
        std::string answers;
        int status;
        std::vector<std::string> errHas;
        // Per port, how each of its rows in the log starts after the operation
        // and ends before the run id (empty: no row).
        std::map<std::string, std::vector<std::string>> rows;
    } rows[] = {
        {"three fine writers pass, each its own chip 1", nullptr, {"load", "demo.rom", "auto"}, "", 0,
         {"PASS"},
         {{"COM1", {kPass + ",3520,1"}}, {"COM2", {kPass + ",3520,1"}}, {"COM3", {kPass + ",3520,1"}}}},
        {"a writer that is not there is stopped at start-up, the others go on",
         [](test::StationBench& b) { b.absent.push_back("COM2"); },
         {"load", "demo.rom", "auto"}, "", 1,
         {"COM2: stopped: no writer answered at start-up", "otpwriter-cli: COM2 stopped: no writer answered at start-up",
          "FAIL: COM2: ERROR: RS232 open error!!!"},
         {{"COM1", {kPass + ",3520,1"}}, {"COM3", {kPass + ",3520,1"}}}},
        {"a writer that dies when told to program fails its chip alone",
         [](test::StationBench& b) { b.Fault("COM3", "e:die"); }, {"load", "demo.rom", "auto"}, "", 1,
         {"otpwriter-cli: COM3 stopped: step 'auto' failed"},
         {{"COM1", {kPass + ",3520,1"}},
          {"COM2", {kPass + ",3520,1"}},
          {"COM3", {"RX4400,demo.rom,FE5A,,fail,OTP Verify Fail !!! (no answer from the writer within "}}}},
        {"a writer that fails every chip stops at --max-fails; every round after says so",
         [](test::StationBench& b) { b.Fault("COM2", "e:corrupt=0"); },
         {"--max-fails", "2", "load", "demo.rom", "loop", "auto"}, "\n\n\nq\n", 1,
         {"COM1 chip 4: PASS (passed 4, failed 0, yield 100.0 %)",
          "COM2 chip 2: FAIL: OTP Verify Fail !!! (passed 0, failed 2, yield 0.0 %)",
          "Round 3: 2 of 3 writers; stopped: COM2 (stopped after 2 failed chips in a row)",
          "Round 4: 2 of 3 writers; stopped: COM2 (stopped after 2 failed chips in a row)",
          "Chips: 10 (passed 8, failed 2, yield 80.0 %)", "  COM2: 2 (passed 0, failed 2, yield 0.0 %)",
          "  COM3: 4 (passed 4, failed 0, yield 100.0 %)", "FAIL: COM2: OTP Verify Fail !!!"},
         {{"COM1", {kPass + ",3520,1", kPass + ",3520,2", kPass + ",3520,3", kPass + ",3520,4"}},
          {"COM2", {"RX4400,demo.rom,FE5A,,fail,OTP Verify Fail !!!,3520,1",
                    "RX4400,demo.rom,FE5A,,fail,OTP Verify Fail !!!,3520,2"}},
          {"COM3", {kPass + ",3520,1", kPass + ",3520,2", kPass + ",3520,3", kPass + ",3520,4"}}}},
        {"a socket set aside between rounds starts no chip until it is taken back; wrong answers are told",
         nullptr, {"load", "demo.rom", "loop", "auto"}, "aside com2\naside COM2\naside COM9\nyes\n\nback COM2\n\nq\n", 0,
         {"COM2: set aside: it starts no chip until it is taken back (back COM2)",
          "otpwriter-cli: COM2 is set aside already", "otpwriter-cli: COM9 is not a writer of this station",
          "otpwriter-cli: 'yes' is not an answer here: Enter for the next round, q to stop, aside COMn or back COMn",
          "Round 2: 2 of 3 writers; set aside: COM2", "COM2: taken back: it starts the next round's chip",
          "COM2 chip 2: PASS (passed 2, failed 0, yield 100.0 %)", "  COM2: 2 (passed 2, failed 0, yield 100.0 %)",
          "Chips: 8 (passed 8, failed 0, yield 100.0 %)"},
         {{"COM1", {kPass + ",3520,1", kPass + ",3520,2", kPass + ",3520,3"}},
          {"COM2", {kPass + ",3520,1", kPass + ",3520,2"}},
          {"COM3", {kPass + ",3520,1", kPass + ",3520,2", kPass + ",3520,3"}}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::StationBench bench;
        if (row.setup) row.setup(bench);
        std::vector<std::string> args = {"--writers", "COM1,COM2,COM3", "--log", "run.csv"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const test::StationRun run = bench.Run(args, row.answers);
        EXPECT_EQ(run.status, row.status);
        for (const std::string& line : row.errHas) EXPECT_TRUE(run.ErrHas(line)) << line << "\n" << ::testing::PrintToString(run.err);
        ASSERT_FALSE(run.log.empty());
        EXPECT_EQ(run.log[0], CsvHeader());
        size_t logged = 0;
        for (const std::string& port : ports) {
            const auto it = row.rows.find(port);
            const std::vector<std::string> want = it == row.rows.end() ? std::vector<std::string>{} : it->second;
            const std::vector<std::string> got = RowsOf(run, port);
            ASSERT_EQ(got.size(), want.size()) << port;
            for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k].rfind(want[k], 0), 0u) << port << ": " << got[k];
            logged += got.size();
        }
        EXPECT_EQ(run.log.size(), logged + 1);
        // Each pane line names its writer.
        for (const std::string& line : test::Lines(run.out))
            EXPECT_TRUE(line.rfind("COM1: ", 0) == 0 || line.rfind("COM2: ", 0) == 0 || line.rfind("COM3: ", 0) == 0) << line;
    }
}

// The lot and the operator named for the run end every row, with one writer
// and with several.
TEST(Station, EveryRowNamesTheLotAndTheOperator) {
    for (const std::string writers : {"COM1", "COM1,COM2"}) {
        SCOPED_TRACE(writers);
        test::StationBench bench;
        const test::StationRun run = bench.Run({"--writers", writers, "--log", "run.csv", "--lot", "L-7, night",
                                                "--operator", "Ana", "load", "demo.rom", "auto"});
        EXPECT_EQ(run.status, 0);
        ASSERT_EQ(run.log.size(), writers.size() == 4 ? 2u : 3u);
        const std::string tail = ",\"L-7, night\",Ana,,";
        for (size_t i = 1; i < run.log.size(); ++i) {
            EXPECT_NE(run.log[i].find(",pass,"), std::string::npos) << run.log[i];
            EXPECT_EQ(run.log[i].rfind(tail), run.log[i].size() - tail.size()) << run.log[i];
        }
    }
}

// A log that cannot be written stops every writer before its first step:
// nothing runs unrecorded.
TEST(Station, ALogThatCannotBeWrittenRunsNothing) {
    test::StationBench bench;
    ASSERT_TRUE(std::filesystem::create_directory(bench.dir.file("run.csv")));
    const test::StationRun run = bench.Run({"--writers", "COM1,COM2", "--log", "run.csv", "load", "demo.rom", "auto"});
    EXPECT_EQ(run.status, 1);
    ASSERT_GE(run.err.size(), 2u);
    const std::string& stop = run.err[run.err.size() - 2];
    EXPECT_EQ(stop.rfind("otpwriter-cli: cannot open the production log ", 0), 0u) << stop;
    EXPECT_NE(stop.find("; not run: load demo.rom, auto"), std::string::npos) << stop;
    EXPECT_EQ(run.err.back().rfind("FAIL: cannot open the production log ", 0), 0u) << run.err.back();
    EXPECT_EQ(run.out.find("Auto Command execution"), std::string::npos);
    ASSERT_EQ(bench.writers.size(), 2u);
    for (const auto& [port, writer] : bench.writers) EXPECT_TRUE(writer->Socket().Held()->BankBlank(0, 1024)) << port;
}

// A rolling code the writer reports that an earlier chip was given, by any
// writer, in this run or in the log, fails the chip that reports it again:
// no two chips ship with one code.
TEST(Station, ARollingCodeGivenBeforeFailsTheChipThatReportsItAgain) {
    const std::string code = "0100 0101 0102 0103 0104 0105 0106 0107";
    const std::vector<std::string> steps = {"--log", "run.csv", "body", "RX4720", "rolling", "on", "upload", "program"};
    const struct {
        const char* name;
        std::string writers;
        std::function<void(test::StationBench&)> setup;
        int status;
        size_t passed, failed;
        std::string finding;  // a piece of the failed chip's failure column
    } rows[] = {
        {"two writers whose counters stand alike: one of the two chips fails", "COM1,COM2", nullptr, 1, 1, 1,
         "rolling code " + code + " was given before, to chip 1 of COM"},
        {"two writers whose counters stand apart: both pass", "COM1,COM2",
         [](test::StationBench& b) { b.Writer("COM2").Socket().SetNextRollingCode(0x0200); }, 0, 2, 0, ""},
        {"a code the log holds from an earlier run fails the one writer's chip", "COM5",
         [&code](test::StationBench& b) {
             b.dir.Write("run.csv", CsvHeader() + "\r\n2026-12-07T09:00:00+01:00,program,RX4720,,0DF0," + code +
                                        ",pass,,4010,7,earlier run,fixed,COM2,,,,\r\n");
         },
         1, 0, 1, "to chip 7 of COM2 (2026-12-07T09:00:00+01:00): no two chips may have one"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::StationBench bench;
        if (row.setup) row.setup(bench);
        std::vector<std::string> args = {"--writers", row.writers};
        args.insert(args.end(), steps.begin(), steps.end());
        const test::StationRun run = bench.Run(args);
        EXPECT_EQ(run.status, row.status) << ::testing::PrintToString(run.err);
        size_t passed = 0, failed = 0;
        std::string failure;
        for (size_t i = 1; i < run.log.size(); ++i) {
            const std::string& line = run.log[i];
            if (line.find(",program,") == std::string::npos || line.find(",earlier run,") != std::string::npos) continue;
            if (line.find(",pass,") != std::string::npos) ++passed;
            if (line.find(",fail,") != std::string::npos) {
                ++failed;
                failure = line;
            }
        }
        EXPECT_EQ(passed, row.passed);
        EXPECT_EQ(failed, row.failed);
        if (!row.finding.empty()) {
            EXPECT_NE(failure.find(row.finding), std::string::npos) << failure;
            // The chip that had the code first stays in the record as it was.
            EXPECT_NE(failure.find("," + code + ",fail,"), std::string::npos) << failure;
        }
    }
}

TEST(Station, WriterPortsAreCheckedWhenNamed) {
    const struct {
        std::vector<std::string> args;
        std::string complaint;  // empty: accepted
        std::vector<std::string> ports;
    } rows[] = {
        {{"--writers", "COM1,COM256,COM17"}, "", {"COM1", "COM256", "COM17"}},
        {{"--writers", "COM3"}, "", {"COM3"}},
        {{"--writers", "COM0"}, "--writers takes ports COM1 to COM256 separated by commas, not 'COM0'", {}},
        {{"--writers", "COM257"}, "--writers takes ports COM1 to COM256 separated by commas, not 'COM257'", {}},
        {{"--writers", "COM01"}, "--writers takes ports COM1 to COM256 separated by commas, not 'COM01'", {}},
        {{"--writers", "com1"}, "--writers takes ports COM1 to COM256 separated by commas, not 'com1'", {}},
        {{"--writers", "COM1,,COM2"}, "--writers takes ports COM1 to COM256 separated by commas, not ''", {}},
        {{"--writers", "COM2,COM2"}, "--writers names COM2 twice", {}},
        {{"--writers"}, "--writers needs PORTS, e.g. COM1,COM2", {}},
        {{"--writers", "COM1,COM2", "save", "x.rom"}, "'save' works with one writer: name one with --writers, or none", {}},
        {{"--writers", "COM1", "save", "x.rom"}, "", {"COM1"}},
        {{"--lot"}, "--lot needs a LOT", {}},
        {{"--operator", ""}, "--operator needs a NAME", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        CliOptions o;
        EXPECT_EQ(ParseArgs(row.args, o), row.complaint);
        if (row.complaint.empty()) { EXPECT_EQ(o.writers, row.ports); }
    }
}

// What an existing log tells the next records: its CSV read whole (quoted
// commas, quotes and line breaks, CR LF or LF, a last line without its end),
// the records of each writer and the codes given.
TEST(Station, AnExistingLogIsReadForItsChipNumbersAndCodes) {
    const std::string header = CsvHeader() + "\r\n";
    const struct {
        const char* name;
        std::string text;
        std::map<std::string, int> counts;
        std::map<std::string, std::string> holders;  // code -> DescribeChip
        bool endsOpen;
    } rows[] = {
        {"an empty log", "", {}, {}, false},
        {"rows of two writers",
         header + "t1,auto,B,,,0100 0101,pass,,1,1,r,fixed,COM1\r\nt2,auto,B,,,0200,pass,,1,1,r,fixed,COM2\r\n"
                  "t3,auto,B,,,not reported,pass,,1,2,r,fixed,COM1\r\n",
         {{"COM1", 2}, {"COM2", 1}}, {{"0100 0101", "chip 1 of COM1 (t1)"}, {"0200", "chip 1 of COM2 (t2)"}}, false},
        {"quoted fields with commas, quotes and line breaks; LF line ends",
         CsvHeader() + "\nt1,auto,B,\"a,b.rom\",,0300,fail,\"say \"\"no\"\"\nthen stop\",1,9,r,fixed,COM4\n",
         {{"COM4", 9}}, {{"0300", "chip 9 of COM4 (t1)"}}, false},
        {"a last line without its end", header + "t1,auto,B,,,0400,pass,,1,4,r,fixed,COM1", {{"COM1", 4}},
         {{"0400", "chip 4 of COM1 (t1)"}}, true},
        {"the first chip keeps its code", header + "t1,auto,B,,,0500,pass,,1,1,r,fixed,COM1\r\nt2,auto,B,,,0500,fail,,1,1,r,fixed,COM2\r\n",
         {{"COM1", 1}, {"COM2", 1}}, {{"0500", "chip 1 of COM1 (t1)"}}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Fed in pieces of every size, so that a piece may end anywhere.
        for (size_t piece : {size_t{1}, size_t{3}, size_t{4096}}) {
            CsvReader reader;
            LogHistory history;
            std::vector<std::vector<std::string>> csvRows;
            for (size_t at = 0; at < row.text.size(); at += piece)
                reader.Feed(row.text.data() + at, std::min(piece, row.text.size() - at), csvRows);
            EXPECT_EQ(reader.EndsOpen(), row.endsOpen);
            reader.Finish(csvRows);
            for (size_t i = 0; i < csvRows.size(); ++i) (i == 0 ? history.Header(csvRows[i]) : history.Row(csvRows[i]));
            for (const auto& [writer, count] : row.counts) EXPECT_EQ(history.Count(writer), count) << writer;
            for (const auto& [code, holder] : row.holders) {
                const std::optional<EarlierChip> chip = history.Holder(code);
                ASSERT_TRUE(chip) << code;
                EXPECT_EQ(DescribeChip(*chip), holder);
            }
            EXPECT_FALSE(history.Holder("not reported"));
        }
    }
}
