// The line's record on a real PostgreSQL server: what a run finds at its
// start, the rolling code checked across stations, two stations at once, and
// a server that goes away in the middle of a loop.
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>
#include <sys/wait.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "CliSupport.h"
#include "RecordServerSupport.h"
#include "RomFixture.h"
#include "cli/CliRunner.h"
#include "emulatedport/EmulatedPort.h"
#include "production/ChipLedger.h"
#include "production/LogHistory.h"
#include "record/LineRecord.h"
#include "record/RecordSpool.h"

namespace otp {
namespace {

using test::RecordServerProcess;

// A folder with the shipped Writer.ini and demo .rom, and the console run in
// this process on a demo writer of its own (a fresh one each run).
struct Bench {
    test::TempDir dir;
    std::string out, err;
    Bench() {
        dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
        dir.Write("demo.rom", test::ReadSource("examples/demo-rx4400.rom"));
    }
    int Run(const std::vector<std::string>& args) {
        VirtualPacer pacer;
        const std::unique_ptr<emu::EmulatedPortOpener> opener = emu::MakeDemoOpener(pacer);
        std::ostringstream o, e;
        CliEnvironment env{o, e, dir.path()};
        env.opener = opener.get();
        env.pacer = &pacer;
        const int status = RunCli(args, env);
        out = o.str();
        err = e.str();
        return status;
    }
    std::string LastErrLine() const {
        const std::vector<std::string> lines = test::Lines(err);
        return lines.empty() ? "" : lines.back();
    }
    std::vector<std::string> LogRows(const std::string& name) const {
        std::vector<std::string> rows = test::Lines(dir.Read(name));
        if (!rows.empty()) rows.erase(rows.begin());
        return rows;
    }
};

SpooledRecord Kept(const std::string& key, int chip) {
    SpooledRecord s;
    s.key = key;
    s.record.when = 1765180800 + chip;  // 2025-12-08T08:00:00Z and on
    s.record.operation = "auto";
    s.record.body = "RX4400";
    s.record.romFile = "demo.rom";
    s.record.checksum = "FE5A";
    s.record.durationMs = 1200;
    s.record.chip = chip;
    s.record.run = "earlier 2025-12-08T08:00:00+00:00";
    s.record.writer = "COM1";
    s.record.station = "earlier";
    s.record.failure = "text, with \"quotes\"\nand a second line";
    return s;
}

// What a run finds at its start: no chip runs unless every record can
// reach the server, and what an earlier run left is sent first, once.
TEST(RecordServer, WhatARunFindsAtItsStart) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::string spoolKey1(32, 'a'), spoolKey2(32, 'b');
    const struct {
        const char* name;
        std::function<std::string(Bench&)> setUp;  // gives the URL
        int status;
        std::string lastLine;       // the start of the last line on stderr
        std::string errHas;         // a piece of some line on stderr; empty: none
        size_t chipRows;            // rows the run wrote to the log
        std::string query, answer;  // what the record holds afterwards
    } rows[] = {
        {"a server that cannot be reached: nothing runs, and its password is not shown",
         [](Bench&) { return std::string("postgresql://otpwriter:secret@/otprecord?host=/nonexistent&port=5432"); }, 1,
         "FAIL: the record server postgresql://otpwriter:***@/otprecord?host=/nonexistent&port=5432 cannot be "
         "reached: connection to server on socket \"/nonexistent/.s.PGSQL.5432\" failed",
         "not run: load demo.rom, auto", 0, "", ""},
        {"a damaged spool and a server away: the lines set aside are told before the run stops",
         [](Bench& b) {
             std::ofstream(b.dir.file("otpwriter-record-near.spool")) << "junk line\n";
             return std::string("postgresql://otpwriter@/otprecord?host=/nonexistent&port=5432");
         },
         1, "FAIL: the record server postgresql://otpwriter@/otprecord?host=/nonexistent&port=5432 cannot be reached",
         " had 1 damaged line: moved to ", 0, "", ""},
        {"a record a newer program made is refused",
         [&](Bench&) {
             server.Query("CREATE TABLE otpwriter_schema (version integer); INSERT INTO otpwriter_schema VALUES (3)");
             return server.Url();
         },
         1, "FAIL: the record server " + server.Url() + " is refused: its record is of version 3, newer than "
                "this program's (2): record with the program that made it, or a newer one",
         "", 0, "SELECT count(*) FROM otpwriter_schema", "1"},
        {"a fresh database gets the schema and the chip", [&](Bench&) { return server.Url(); }, 0, "PASS", "", 1,
         "SELECT max(version) FROM otpwriter_schema; SELECT station, writer, chip, verdict, rom_file, checksum, waits, "
         "rolling_code IS NULL, lot, job IS NULL FROM chips",
         "2\nnear|COM1|1|pass|demo.rom|FE5A|fixed|t|L7|t"},
        {"a record of version 1 is brought up to date in place, its chips kept",
         [&](Bench& b) {
             EXPECT_EQ(b.Run({"--record", server.Url(), "--station", "near", "--log", "p.csv", "load", "demo.rom", "auto"}),
                       0) << b.err;
             server.Query("DROP TABLE job_places, jobs; ALTER TABLE chips DROP COLUMN job, DROP COLUMN job_id;"
                          " DELETE FROM otpwriter_schema WHERE version = 2");
             return server.Url();
         },
         0, "PASS", "", 2,
         "SELECT max(version) FROM otpwriter_schema; SELECT chip, job IS NULL FROM chips ORDER BY id;"
         " SELECT count(*) FROM jobs",
         "2\n1|t\n2|t\n0"},
        {"records an earlier run kept are sent first, a line cut short left out",
         [&](Bench& b) {
             std::string error;
             RecordSpool spool(b.dir.file("otpwriter-record.spool"));
             EXPECT_TRUE(spool.Open(error)) << error;
             EXPECT_TRUE(spool.Add(Kept(spoolKey1, 1), error)) << error;
             EXPECT_TRUE(spool.Add(Kept(spoolKey2, 2), error)) << error;
             std::ofstream(b.dir.file("otpwriter-record.spool"), std::ios::app) << "cccc,17651";
             return server.Url();
         },
         0, "PASS", "ended in a record cut short (the program ended while writing it); it was taken off", 1,
         "SELECT record_key, chip, station, failure FROM chips WHERE station = 'earlier' ORDER BY chip",
         spoolKey1 + "|1|earlier|text, with \"quotes\"\nand a second line\n" + spoolKey2 +
             "|2|earlier|text, with \"quotes\"\nand a second line"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server.Query("DROP TABLE IF EXISTS job_places, jobs, chips, otpwriter_schema");
        Bench bench;
        const std::string url = row.setUp(bench);
        const int status = bench.Run({"--record", url, "--station", "near", "--lot", "L7", "--log", "p.csv", "load",
                                      "demo.rom", "auto"});
        EXPECT_EQ(status, row.status) << bench.err;
        EXPECT_EQ(bench.LastErrLine().substr(0, row.lastLine.size()), row.lastLine) << bench.err;
        if (!row.errHas.empty()) { EXPECT_NE(bench.err.find(row.errHas), std::string::npos) << bench.err; }
        EXPECT_EQ(bench.err.find("secret"), std::string::npos);
        EXPECT_EQ(bench.LogRows("p.csv").size(), row.chipRows);
        EXPECT_FALSE(std::filesystem::exists(bench.dir.file("otpwriter-record.spool")));
        if (!row.query.empty()) { EXPECT_EQ(server.Query(row.query), row.answer); }
    }
    // A spool sent again (the program ended before it could remove it) adds nothing.
    Bench again;
    {
        RecordSpool spool(again.dir.file("otpwriter-record.spool"));
        std::string error;
        EXPECT_TRUE(spool.Open(error) && spool.Add(Kept(spoolKey1, 1), error) && spool.Add(Kept(spoolKey2, 2), error))
            << error;
    }
    EXPECT_EQ(again.Run({"--record", server.Url(), "version"}), 0) << again.err;
    EXPECT_EQ(server.Query("SELECT count(*) FROM chips WHERE station = 'earlier'"), "2");
}

// With the rolling code on, a chip whose code a passed chip of another
// station holds in the record fails, and names that chip; both are recorded.
TEST(RecordServer, ARollingCodeAnotherStationPassedFailsTheChip) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::vector<std::string> steps = {"body", "RX4720", "rolling", "on", "upload", "program"};
    Bench far, near;
    std::vector<std::string> args = {"--record", server.Url(), "--station", "far", "--log", "far.csv"};
    args.insert(args.end(), steps.begin(), steps.end());
    ASSERT_EQ(far.Run(args), 0) << far.err;
    // The second station's log knows nothing of the first: only the record does.
    args[3] = "near";
    args[5] = "near.csv";
    EXPECT_EQ(near.Run(args), 1);
    const std::string code = "0100 0101 0102 0103 0104 0105 0106 0107";
    const std::string farTime =
        IsoLocalTime(std::stoll(server.Query("SELECT extract(epoch FROM \"time\")::bigint FROM chips")));
    const std::string finding = "rolling code " + code + " was given before, to chip 1 of COM1 at far (" + farTime;
    EXPECT_EQ(near.LastErrLine().substr(0, 6 + finding.size()), "FAIL: " + finding) << near.err;
    EXPECT_EQ(server.Query("SELECT station, rolling_code, verdict, failure LIKE '" + finding +
                           "%' FROM chips ORDER BY id"),
              "far|" + code + "|pass|\nnear|" + code + "|fail|t");
    // The log says what the record says.
    const std::vector<std::string> nearRows = near.LogRows("near.csv");
    ASSERT_EQ(nearRows.size(), 1u);
    EXPECT_NE(nearRows[0].find(",fail,\"" + finding), std::string::npos)
        << nearRows[0];
}

// The console program as a station of two demo writers in `dir`, its steps
// after the options; stdout to out.txt, stderr to err.txt.
std::string StationCommand(const std::string& dir, const std::string& station, const std::string& url) {
    return "cd " + test::ShellQuoted(dir) + " && printf '\\n\\nq\\n' | " +
           test::ShellQuoted(std::string(OTP_BINARY_DIR) + "/otpwriter-cli") +
           " --demo --fast --writers COM1,COM2 --station " + station + " --record " + test::ShellQuoted(url) +
           " --log p.csv body RX4720 rolling on upload loop program >out.txt 2>err.txt";
}

// Two stations of two writers each record at once, their writers' counters
// standing alike: every chip is in the record once, as its station's log
// has it, and of each rolling code one chip passed, the other failed naming it.
TEST(RecordServer, TwoStationsAtOnceRecordEveryChipOnce) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    Bench east, west;
    const std::string both = "(" + StationCommand(east.dir.path(), "east", server.Url()) + ") & (" +
                             StationCommand(west.dir.path(), "west", server.Url()) + ") & wait";
    ASSERT_EQ(std::system(both.c_str()), 0);
    std::multiset<std::string> logged;
    for (Bench* b : {&east, &west}) {
        const std::string station = b == &east ? "east" : "west";
        const std::vector<std::string> rows = b->LogRows("p.csv");
        EXPECT_EQ(rows.size(), 6u) << b->dir.Read("err.txt");
        // run, writer, chip and verdict, as the log has them.
        std::vector<std::vector<std::string>> fields;
        CsvReader reader;
        const std::string text = b->dir.Read("p.csv");
        reader.Feed(text.data(), text.size(), fields);
        for (size_t i = 1; i < fields.size(); ++i)
            logged.insert(station + "|" + fields[i][12] + "|" + fields[i][9] + "|" + fields[i][6] + "|" + fields[i][5]);
    }
    const std::vector<std::string> recorded = test::Lines(
        server.Query("SELECT station, writer, chip, verdict, rolling_code FROM chips ORDER BY station, writer, chip"));
    EXPECT_EQ(std::multiset<std::string>(recorded.begin(), recorded.end()), logged);
    EXPECT_EQ(server.Query("SELECT count(*), count(DISTINCT record_key) FROM chips"), "12|12");
    // Each code twice: once passed, once failed by the record's check.
    EXPECT_EQ(server.Query("SELECT count(*) FROM (SELECT rolling_code FROM chips GROUP BY rolling_code HAVING "
                           "count(*) = 2 AND count(*) FILTER (WHERE verdict = 'pass') = 1 AND count(*) FILTER "
                           "(WHERE failure LIKE 'rolling code % was given before, to chip _ of COM_ at %') = 1) c"),
              "6");
    // The report of the record is the report of the two logs.
    const auto report = [](const std::vector<std::string>& args) {
        std::ostringstream out, err;
        CliEnvironment env{out, err, "/"};
        EXPECT_EQ(RunCli(args, env), 0) << err.str();
        const std::string text = out.str();
        return text.substr(std::min(text.find("\nChips: "), text.size()));
    };
    // (Two holders of one code in one second may be listed in either order.)
    const std::string fromRecord = report({"report", server.Url()});
    const std::string fromLogs = report({"report", east.dir.file("p.csv"), west.dir.file("p.csv")});
    EXPECT_NE(fromRecord.find("Chips: 12 (passed 6, failed 6, yield 50.0 %)"), std::string::npos) << fromRecord;
    const size_t codes = fromRecord.find("\nRolling codes held");
    EXPECT_EQ(fromRecord.substr(0, codes), fromLogs.substr(0, codes));
    EXPECT_EQ(test::Lines(fromRecord.substr(codes)).size(), 2 + 1 + 12u) << fromRecord.substr(codes);
    EXPECT_EQ(test::Lines(fromLogs.substr(codes)).size(), 2 + 1 + 12u) << fromLogs.substr(codes);
    // A chip the record and its log both hold counts once.
    EXPECT_EQ(report({"report", server.Url(), east.dir.file("p.csv")}).substr(0, codes), fromRecord.substr(0, codes));
}

// Two stations of two writers (two programs) run one job's order of 10 in
// the record: the order's places are claimed in the server, so that exactly
// 10 chips pass however the rounds fall, though each code the stations'
// writers give twice fails one of its chips; both stations end at "order
// complete", and no place stays taken.
TEST(RecordServer, TwoStationsMakeOneOrderAndNoChipPastIt) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    Bench east, west;
    ASSERT_EQ(east.Run({"body", "RX4720", "rolling", "on", "upload", "save", "rx4720.rom"}), 0) << east.err;
    ASSERT_EQ(east.Run({"--quantity", "10", "load", "rx4720.rom", "rolling", "on", "job-save", "order.otpjob"}), 0)
        << east.err;
    for (const char* file : {"rx4720.rom", "order.otpjob"}) west.dir.Write(file, east.dir.Read(file));
    const auto station = [&](Bench& b, const std::string& name) {
        return "cd " + test::ShellQuoted(b.dir.path()) + " && yes '' | head -n 40 | " +
               test::ShellQuoted(std::string(OTP_BINARY_DIR) + "/otpwriter-cli") +
               " --demo --fast --writers COM1,COM2 --station " + name + " --record " + test::ShellQuoted(server.Url()) +
               " --job order.otpjob --log p.csv loop auto >out.txt 2>err.txt";
    };
    const std::string both = "(" + station(east, "east") + ") & (" + station(west, "west") + ") & wait";
    ASSERT_EQ(std::system(both.c_str()), 0);
    for (Bench* b : {&east, &west}) {
        const std::vector<std::string> err = test::Lines(b->dir.Read("err.txt"));
        EXPECT_TRUE(test::Contains(err, "order complete: 10 of 10 passed")) << b->dir.Read("err.txt");
    }
    const std::string job = "(SELECT id FROM jobs WHERE name = 'order')";
    EXPECT_EQ(server.Query("SELECT count(*) FROM jobs; SELECT count(*) FROM chips WHERE verdict = 'pass' AND job_id = " +
                           job + "; SELECT count(*) > 0 FROM chips WHERE verdict = 'fail'; SELECT count(*) FROM job_places"),
              "1\n10\nt\n0");
    // Every record names the job, as the log does.
    EXPECT_EQ(server.Query("SELECT count(*) FROM chips WHERE job IS DISTINCT FROM 'order'"), "0");
    // The report of the record shows the order as the record counts it; of a log, it cannot.
    for (const auto& [source, order] : {std::pair<std::string, std::string>{server.Url(), "  10 of 10  "},
                                        std::pair<std::string, std::string>{east.dir.file("p.csv"), "  -  "}}) {
        std::ostringstream out, err;
        CliEnvironment env{out, err, "/"};
        EXPECT_EQ(RunCli({"report", source}, env), 0) << err.str();
        const std::string text = out.str();
        const size_t table = text.find("\nBy job\n");
        ASSERT_NE(table, std::string::npos) << text;
        const size_t row = text.find("\norder  ", table);
        ASSERT_NE(row, std::string::npos) << text;
        EXPECT_NE(text.substr(row, text.find('\n', row + 1) - row).find(order), std::string::npos) << text;
    }
}

// A chip is passed only once its record is written: a record the server
// refuses for what it holds, or a spool another program holds, leaves the
// chip (or the run) unrecorded and said so, never passed.
TEST(RecordServer, NoChipPassesWithoutItsRecord) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    std::unique_ptr<RecordSpool> held;
    const struct {
        const char* name;
        std::function<void(Bench&)> setUp;
        std::string lastLine;  // its start
        std::string errHas;    // a piece of stderr
        size_t logRows;
        std::string answer;  // the chips of lot L9 in the record
    } rows[] = {
        {"the server refuses the record for what it holds",
         [&](Bench&) { server.Query("ALTER TABLE chips ADD CONSTRAINT no_l9 CHECK (lot <> 'L9')"); },
         "FAIL: chip 1 of COM1 is not recorded (the record server " + server.Url() +
             " refused the record of chip 1 of COM1 at near (",
         "it is set aside in ", 1, "0"},
        {"another program holds the spool",
         [&](Bench& b) {
             std::string error;
             held = std::make_unique<RecordSpool>(b.dir.file("otpwriter-record-near.spool"));
             EXPECT_TRUE(held->Open(error)) << error;
         },
         "FAIL: the record spool ", "is used by another program", 0, "0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server.Query("DROP TABLE IF EXISTS job_places, jobs, chips, otpwriter_schema");
        Bench bench;
        EXPECT_EQ(bench.Run({"--record", server.Url(), "version"}), 0) << bench.err;  // makes the table
        row.setUp(bench);
        const int status = bench.Run({"--record", server.Url(), "--station", "near", "--lot", "L9", "--log", "p.csv",
                                      "load", "demo.rom", "auto"});
        held.reset();
        EXPECT_EQ(status, 1) << bench.err;
        EXPECT_EQ(bench.LastErrLine().substr(0, row.lastLine.size()), row.lastLine) << bench.err;
        EXPECT_NE(bench.err.find(row.errHas), std::string::npos) << bench.err;
        const std::vector<std::string> logged = bench.LogRows("p.csv");
        ASSERT_EQ(logged.size(), row.logRows) << bench.err;
        // The log calls no unrecorded chip passed.
        for (const std::string& line : logged) EXPECT_NE(line.find(",fail,\"not recorded: "), std::string::npos) << line;
        EXPECT_EQ(server.Query("SELECT count(*) FROM chips WHERE lot = 'L9'"), row.answer);
    }
}

// A damaged log is said before any chip, and read around: the run goes on.
TEST(RecordServer, ADamagedLogIsSaidBeforeAnyChip) {
    Bench b;
    b.dir.Write("p.csv", CsvHeader() + "\r\nx,\"never closed\r\n");
    EXPECT_EQ(b.Run({"--log", "p.csv", "load", "demo.rom", "auto"}), 0) << b.err;
    const size_t said = b.err.find("otpwriter-cli: the production log " + b.dir.file("p.csv") + " has 1 damaged line (2: ");
    EXPECT_NE(said, std::string::npos) << b.err;
    EXPECT_LT(said, b.err.find("PASS")) << b.err;
}

// A log line the disk cannot take (here a file size limit, in a child
// process) leaves its chip unrecorded: never PASS, and the log keeps whole
// lines only.
TEST(RecordServer, AChipWhoseLogLineDoesNotFitIsNotPassed) {
    Bench b;
    ASSERT_EQ(b.Run({"--log", "p.csv", "version"}), 0) << b.err;  // the log and its header
    const std::string before = b.dir.Read("p.csv");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(out[0]);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 20), static_cast<rlim_t>(before.size() + 20)};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int status = b.Run({"--log", "p.csv", "load", "demo.rom", "auto"});
        const std::string said = b.LastErrLine();
        if (write(out[1], said.data(), said.size()) < 0) _exit(9);
        _exit(status);
    }
    close(out[1]);
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << said;
    EXPECT_EQ(said, "FAIL: chip 1 of COM1 is not recorded (cannot write the production log " + b.dir.file("p.csv") +
                        ": the disk took only part of the line): it does not count as passed; set it apart");
    EXPECT_EQ(b.dir.Read("p.csv"), before);
}

// The server goes away between two chips and comes back while the next
// waits: the next chip starts only once the server is there again, a job's
// chip too (its place of the order is asked of the server).
TEST(RecordServer, NoChipStartsWhileTheServerIsAway) {
    const struct {
        const char* name;
        std::vector<std::string> made;  // the run that makes what the loop needs
        const char* steps;
        const char* passedTail;  // what a passed chip's counts end with
    } rows[] = {
        {"a chip of a loaded image", {}, "load demo.rom loop auto", ")"},
        {"a chip of a job", {"--quantity", "5", "load", "demo.rom", "job-save", "order.otpjob"}, "--job order.otpjob loop auto",
         ", order 2 of 5)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordServerProcess server;
        ASSERT_TRUE(server.Started());
        Bench b;
        if (!row.made.empty()) {
            ASSERT_EQ(b.Run(row.made), 0) << b.err;
        }
        test::ChildProcess cli;
        ASSERT_TRUE(cli.Start("/bin/sh",
                              {"-c", "cd " + test::ShellQuoted(b.dir.path()) + " && exec " +
                                         test::ShellQuoted(std::string(OTP_BINARY_DIR) + "/otpwriter-cli") +
                                         " --demo --fast --record " + test::ShellQuoted(server.Url()) + " --log p.csv " +
                                         row.steps + " >/dev/null"},
                              true));
        // The lines on stderr up to the one that starts with `start`, which is returned.
        std::vector<std::string> seen;
        const auto until = [&](const std::string& start) {
            for (const auto t0 = test::Clock::now(); test::MsSince(t0) < 60000;) {
                std::string line = cli.ReadErrorLine(60000);
                const size_t prompt = line.find("(q and Enter to stop): ");
                if (prompt != std::string::npos) line = line.substr(prompt + 23);
                seen.push_back(line);
                if (line.rfind(start, 0) == 0) return line;
            }
            return std::string("(nothing)");
        };
        EXPECT_EQ(until("chip 1: ").rfind("chip 1: PASS (passed 1, failed 0, yield 100.0 %", 0), 0u);
        server.Stop();
        cli.Say("\n");
        EXPECT_NE(until("otpwriter-cli: waiting for the record server " + server.Url() + " ("), "(nothing)");
        // No chip while it is away: nothing more is said.
        EXPECT_EQ(cli.ReadErrorLine(3000), "");
        const std::time_t back = std::time(nullptr);
        server.Resume();
        EXPECT_EQ(until("chip 2: "), std::string("chip 2: PASS (passed 2, failed 0, yield 100.0 %") + row.passedTail);
        cli.Say("q\n");
        EXPECT_EQ(cli.WaitExit(30000), 0);
        EXPECT_NE(std::find_if(seen.begin(), seen.end(),
                               [](const std::string& line) { return line.find(" went away (") != std::string::npos; }),
                  seen.end());
        EXPECT_EQ(server.Query("SELECT chip, verdict FROM chips ORDER BY chip"), "1|pass\n2|pass");
        EXPECT_EQ(server.Query("SELECT count(*) FROM chips WHERE chip = 2 AND \"time\" >= to_timestamp(" +
                               std::to_string(back) + ")"),
                  "1");
        EXPECT_EQ(b.LogRows("p.csv").size(), 2u);
    }
}

// A record the server can no longer take (it went away during the chip) is
// kept in the spool, on disk; no chip may start until the server is back and
// has it, once. One whose code a passed chip of another station got
// meanwhile is failed in the record, and the operator is told which chip.
TEST(RecordServer, ARecordTheServerCannotTakeIsKeptAndSentFirstOnce) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    test::TempDir dir;
    ChipLedger ledger("run 1");
    ledger.SetStation("here");
    std::string error;
    ASSERT_TRUE(ledger.UseLog(dir.file("p.csv"), error)) << error;
    ASSERT_TRUE(UseRecordServer(ledger, server.Url(), dir.path(), error)) << error;
    int judged = 0;
    const auto judge = [&](const std::optional<EarlierChip>&) { ++judged; };
    const auto chip = [](const std::string& code) {
        ChipRecord r = Kept("", 0).record;
        r.writer = "COM2";
        r.failure.clear();
        r.rollingCode = code;
        return r;
    };
    const std::string spool = dir.file("otpwriter-record-here.spool");
    const auto ready = [&] {
        bool waiting = false;
        error.clear();
        const bool now = ledger.ReadyToRecord(error, waiting);
        return std::to_string(now) + std::to_string(waiting);
    };
    const auto noticed = [&](const std::string& piece) {
        const std::vector<std::string> notices = ledger.TakeNotices();
        return std::any_of(notices.begin(), notices.end(),
                           [&](const std::string& n) { return n.find(piece) != std::string::npos; });
    };

    ChipRecord first = chip("0001 0002 0003 0004 0005 0006 0007 0008");
    EXPECT_EQ(ledger.Record(first, judge), "");
    server.Stop();
    ChipRecord second = chip("0011 0012 0013 0014 0015 0016 0017 0018");
    EXPECT_EQ(ledger.Record(second, judge), "");
    EXPECT_EQ(judged, 2);
    EXPECT_EQ(test::Lines(dir.Read("otpwriter-record-here.spool")).size(), 2u);
    EXPECT_EQ(ledger.RecordsOnlyHere(), "1 record is only in " + spool + ", not yet in the record server " +
                                            server.Url() + ": they go to it first when a program next records with "
                                            "this spool");
    EXPECT_TRUE(noticed(" went away ("));
    EXPECT_EQ(ready(), "01");
    EXPECT_NE(error.find("; 1 record kept in " + spool + " go to it first"), std::string::npos) << error;

    ChipRecord third = chip("0021 0022 0023 0024 0025 0026 0027 0028");
    third.chip = 0;
    EXPECT_EQ(ledger.Record(third, judge), "");  // while waiting: kept behind the other
    server.Resume();
    // Meanwhile another station passed a chip with the third's code.
    server.Query(
        "INSERT INTO chips (record_key, \"time\", operation, body, verdict, duration_ms, chip, run, waits, writer, "
        "station, rolling_code) VALUES ('other', to_timestamp(1765000000), 'auto', 'RX4720', 'pass', 1, 9, 'far 1', "
        "'fast', 'COM7', 'far', '0021 0022 0023 0024 0025 0026 0027 0028')");
    EXPECT_EQ(ready(), "10") << error;
    EXPECT_FALSE(std::filesystem::exists(spool));
    EXPECT_EQ(ledger.RecordsOnlyHere(), "");
    EXPECT_EQ(server.Query("SELECT chip, verdict, failure LIKE 'rolling code 0021 % was given before, to chip 9 of "
                           "COM7 at far (%): no two chips may have one (found when its record reached the record "
                           "server late)' FROM chips WHERE station = 'here' ORDER BY id"),
              "1|pass|\n2|pass|\n3|fail|t");
    EXPECT_TRUE(noticed("chip 3 of COM2 at here ("));
}

}  // namespace
}  // namespace otp
