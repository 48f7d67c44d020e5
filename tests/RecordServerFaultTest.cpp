// What the record server says of a write, on a real PostgreSQL server: a
// record it refuses for what it holds, a server away, a station that died
// holding a rolling code's lock; 8-bit text going in as UTF-8; a report's
// reading of a time window in pieces.
#if !defined(_WIN32)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "RecordServerSupport.h"
#include "record/RecordServer.h"

namespace otp {
namespace {

using test::RecordServerProcess;
using Outcome = RecordServer::Outcome;

const char* OutcomeName(Outcome o) {
    switch (o) {
        case Outcome::Written: return "written";
        case Outcome::Away: return "away";
        case Outcome::Refused: return "refused";
    }
    return "?";
}

ChipRecord AChip() {
    ChipRecord r;
    r.when = 1765180800;  // 2025-12-08T08:00:00Z
    r.operation = "auto";
    r.body = "RX4720";
    r.romFile = "demo.rom";
    r.checksum = "FE5A";
    r.durationMs = 1200;
    r.chip = 1;
    r.run = "here 2025-12-08T08:00:00+00:00";
    r.writer = "COM1";
    r.station = "here";
    return r;
}

const ChipStore::Judge kNoJudge = [](const std::optional<EarlierChip>&) {};

std::unique_ptr<RecordServer> Writer(const RecordServerProcess& server) {
    std::string error;
    std::unique_ptr<RecordServer> writer = RecordServer::Connect(server.Url(), error);
    EXPECT_TRUE(writer) << error;
    return writer;
}

// One write against the server as a row sets it up: what comes back, with
// the server's reason, and what the table then holds.
TEST(RecordServerFault, WhatTheServerSaysOfARecord) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::unique_ptr<RecordServer> writer = Writer(server);
    ASSERT_TRUE(writer);
    struct Row {
        const char* what;
        std::string setUp, putBack;
        std::function<void(ChipRecord&)> change;
        Outcome outcome;
        std::string reason;  // what the error begins with ("" when written)
        std::string check;   // a query on the record written, by its key $KEY
        std::string holds;
    };
    const std::string bodyHex = "SELECT encode(convert_to(body, 'UTF8'), 'hex') FROM chips WHERE record_key = '$KEY'";
    const std::vector<Row> rows = {
        {"a chip as usual", "", "", [](ChipRecord&) {}, Outcome::Written, "",
         "SELECT body, writer FROM chips WHERE record_key = '$KEY'", "RX4720|COM1"},
        {"an 8-bit body name, taken as Latin-1", "", "", [](ChipRecord& r) { r.body = "Caf\xe9 R\xf6m"; },
         Outcome::Written, "", bodyHex, "436166c3a92052c3b66d"},
        {"a body name in UTF-8, sent as it is", "", "", [](ChipRecord& r) { r.body = "Caf\xc3\xa9"; },
         Outcome::Written, "", bodyHex, "436166c3a9"},
        {"a CHECK the record breaks", "ALTER TABLE chips ADD CONSTRAINT chips_few CHECK (chip < 1000)",
         "ALTER TABLE chips DROP CONSTRAINT chips_few", [](ChipRecord& r) { r.chip = 1234; }, Outcome::Refused,
         "ERROR: new row for relation \"chips\" violates check constraint \"chips_few\"",
         "SELECT count(*) FROM chips WHERE record_key = '$KEY'", "0"},
        {"a value too long for its column", "ALTER TABLE chips ALTER COLUMN writer TYPE varchar(4)",
         "ALTER TABLE chips ALTER COLUMN writer TYPE text", [](ChipRecord& r) { r.writer = "COM1234"; },
         Outcome::Refused, "ERROR: value too long for type character varying(4)",
         "SELECT count(*) FROM chips WHERE record_key = '$KEY'", "0"},
        {"a trigger of the server's that will not have it",
         "CREATE FUNCTION no_lot() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.lot = 'bad' THEN RAISE "
         "EXCEPTION 'lot bad is closed'; END IF; RETURN NEW; END $$; CREATE TRIGGER no_lot BEFORE INSERT ON chips "
         "FOR EACH ROW EXECUTE FUNCTION no_lot()",
         "DROP TRIGGER no_lot ON chips; DROP FUNCTION no_lot()", [](ChipRecord& r) { r.lot = "bad"; },
         Outcome::Refused, "ERROR: lot bad is closed", "SELECT count(*) FROM chips WHERE record_key = '$KEY'", "0"},
        {"the right to write taken away", "REVOKE INSERT ON chips FROM otpwriter", "GRANT INSERT ON chips TO otpwriter",
         [](ChipRecord&) {}, Outcome::Away, "ERROR: permission denied for table chips",
         "SELECT count(*) FROM chips WHERE record_key = '$KEY'", "0"},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string key = "fa0170000000000000000000000000" + std::to_string(10 + n++);
        if (!row.setUp.empty()) {
            ASSERT_EQ(server.Query(row.setUp), "") << row.what;
        }
        ChipRecord r = AChip();
        row.change(r);
        std::string error;
        const Outcome got = writer->Write(r, key, kNoJudge, error);
        EXPECT_STREQ(OutcomeName(got), OutcomeName(row.outcome)) << row.what << ": " << error;
        EXPECT_EQ(error.substr(0, row.reason.size()), row.reason) << row.what;
        if (row.outcome != Outcome::Written) {
            EXPECT_FALSE(error.empty()) << row.what;
        }
        std::string check = row.check;
        check.replace(check.find("$KEY"), 4, key);
        EXPECT_EQ(server.Query(check), row.holds) << row.what;
        if (!row.putBack.empty()) {
            ASSERT_EQ(server.Query(row.putBack), "") << row.what;
        }
        // The same connection goes on writing after any of them.
        ChipRecord next = AChip();
        EXPECT_EQ(writer->Write(next, key + "n", kNoJudge, error), Outcome::Written) << row.what << ": " << error;
    }
    // A record sent again is kept once.
    ChipRecord again = AChip();
    std::string error;
    EXPECT_EQ(writer->Write(again, "fa01700000000000000000000000001" "0", kNoJudge, error), Outcome::Written);
    EXPECT_EQ(server.Query("SELECT count(*) FROM chips WHERE record_key = 'fa017000000000000000000000000010'"), "1");
}

// A server stopped, or gone in the middle: the record waits for it.
TEST(RecordServerFault, AServerStoppedIsAway) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::unique_ptr<RecordServer> writer = Writer(server);
    ASSERT_TRUE(writer);
    server.Stop();
    ChipRecord r = AChip();
    std::string error;
    EXPECT_EQ(writer->Write(r, "5709000000000000000000000000000a", kNoJudge, error), Outcome::Away);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(writer->Answers(error));
    EXPECT_EQ(RecordServer::Connect(server.Url(), error), nullptr);
    EXPECT_EQ(error.rfind("cannot be reached: ", 0), 0u) << error;
}

// Waits until some session holds `count` advisory locks; false after a minute.
bool LocksHeld(const RecordServerProcess& server, const std::string& count) {
    for (const auto t0 = test::Clock::now(); test::MsSince(t0) < 60000; usleep(100000))
        if (server.Query("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND granted") == count)
            return true;
    return false;
}

// Writes a chip of `code` until it is in, a minute at most; what the first
// try said, and how long until it was in.
struct Tries {
    Outcome first = Outcome::Away;
    std::string firstError, lastError;
    int64_t firstMs = 0, writtenMs = -1;
};
Tries WriteUntilIn(RecordServer& writer, const std::string& code, const std::string& key) {
    Tries tries;
    const auto t0 = test::Clock::now();
    for (bool firstTry = true; test::MsSince(t0) < 60000; firstTry = false) {
        ChipRecord r = AChip();
        r.rollingCode = code;
        std::string error;
        const Outcome got = writer.Write(r, key, kNoJudge, error);
        if (firstTry) {
            tries.first = got;
            tries.firstError = error;
            tries.firstMs = test::MsSince(t0);
        }
        tries.lastError = error;
        if (got == Outcome::Written) {
            tries.writtenMs = test::MsSince(t0);
            break;
        }
        usleep(200000);
    }
    return tries;
}

// The server's words, after which it may name the statement.
const std::string kLockTimeout = "ERROR: canceling statement due to lock timeout";

// A session that holds a rolling code's lock and does not let go: a
// station's write of that code comes back as away after the lock's
// time-out, not after the statement's 15 s, and goes in once the lock is
// gone.
TEST(RecordServerFault, ALockHeldElsewhereSendsTheWriteAway) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::unique_ptr<RecordServer> writer = Writer(server);
    ASSERT_TRUE(writer);
    const std::string code = "0100 0101 0102 0103 0104 0105 0106 0107";
    test::ChildProcess psql;
    ASSERT_TRUE(psql.Start("/bin/sh", {"-c", "exec psql -X -q " + test::ShellQuoted(server.Url())}));
    psql.Say("BEGIN;\nSELECT pg_advisory_xact_lock(hashtext('" + code + "'));\n");
    ASSERT_TRUE(LocksHeld(server, "1"));
    std::string error;
    ChipRecord r = AChip();
    r.rollingCode = code;
    const auto t0 = test::Clock::now();
    EXPECT_EQ(writer->Write(r, "a1a1a1a1000000000000000000000000", kNoJudge, error), Outcome::Away);
    EXPECT_EQ(error.substr(0, kLockTimeout.size()), kLockTimeout);
    EXPECT_GE(test::MsSince(t0), 4500);
    EXPECT_LT(test::MsSince(t0), 14000) << "the write waited for the lock as long as for a statement";
    EXPECT_EQ(server.Query("SELECT count(*) FROM chips"), "0");
    EXPECT_EQ(server.Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'psql'"
                           " AND pid <> pg_backend_pid()"),
              "t");
    const Tries tries = WriteUntilIn(*writer, code, "a1a1a1a1000000000000000000000000");
    EXPECT_GE(tries.writtenMs, 0) << tries.lastError;
    EXPECT_EQ(server.Query("SELECT station, rolling_code FROM chips"), "here|" + code);
}

// A station that stops for good in the middle of a write, holding its
// rolling code's lock (its computer frozen, its cable out), holds it for
// seconds, not until TCP notices: the server ends its session, and another
// station's write of that code goes in.
TEST(RecordServerFault, AStationThatDiesHoldingALockHoldsItForSeconds) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    const std::unique_ptr<RecordServer> writer = Writer(server);
    ASSERT_TRUE(writer);
    const std::string code = "0200 0201 0202 0203 0204 0205 0206 0207";
    const pid_t dead = fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) {
        std::string error;
        const std::unique_ptr<RecordServer> station = RecordServer::Connect(server.Url(), error);
        ChipRecord r = AChip();
        r.rollingCode = code;
        r.station = "dead";
        // Stopped while its transaction holds the lock.
        const ChipStore::Judge stop = [](const std::optional<EarlierChip>&) { raise(SIGSTOP); };
        if (station) station->Write(r, "dead0000000000000000000000000000", stop, error);
        _exit(0);
    }
    const bool held = LocksHeld(server, "1");
    const Tries tries = held ? WriteUntilIn(*writer, code, "b2b2b2b2000000000000000000000000") : Tries{};
    kill(dead, SIGKILL);
    waitpid(dead, nullptr, 0);
    ASSERT_TRUE(held) << "the dying station never took the lock";
    // The first try waits out its lock's time-out, or, on a slow machine,
    // finds the dead session ended already.
    if (tries.first != Outcome::Written) {
        EXPECT_EQ(tries.firstError.substr(0, kLockTimeout.size()), kLockTimeout);
    }
    EXPECT_LT(tries.firstMs, 14000);
    EXPECT_GE(tries.writtenMs, 0) << tries.lastError;
    EXPECT_LT(tries.writtenMs, 30000);
    EXPECT_EQ(server.Query("SELECT station FROM chips WHERE rolling_code = '" + code + "'"), "here");
}

// A report reads the records of its time window, in pieces, in order.
TEST(RecordServerFault, AReportReadsItsWindowInPieces) {
    RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(Writer(server));
    // 12000 chips a second apart from 2025-12-08T08:00:00Z: three pieces.
    const std::time_t t0 = 1765180800;
    ASSERT_EQ(server.Query("INSERT INTO chips (record_key, \"time\", operation, body, verdict, duration_ms, chip,"
                           " run, waits, writer, station) SELECT 'k' || i, to_timestamp(" +
                           std::to_string(t0) +
                           " + i), 'auto', 'RX4720', 'pass', 1200, i, 'r', 'fast', 'COM1', 'here'"
                           " FROM generate_series(0, 11999) AS i"),
              "");
    struct Row {
        std::time_t from, to;
        size_t count;
        int first;
    };
    const std::vector<Row> rows = {
        {0, 0, 12000, 0},
        {t0 + 100, t0 + 200, 100, 100},
        {t0 + 11000, 0, 1000, 11000},
        {0, t0 + 5001, 5001, 0},
        {t0 + 20000, 0, 0, -1},
    };
    for (const Row& row : rows) {
        std::vector<ChipRecord> read;
        std::string error;
        ASSERT_TRUE(ReadRecordServer(server.Url(), row.from, row.to, read, error)) << error;
        EXPECT_EQ(read.size(), row.count) << row.from << ".." << row.to;
        if (read.empty()) continue;
        EXPECT_EQ(read.front().chip, row.first);
        bool ordered = true;
        for (size_t i = 1; i < read.size(); ++i) ordered = ordered && read[i].when == read[i - 1].when + 1;
        EXPECT_TRUE(ordered);
    }
}

}  // namespace
}  // namespace otp
#endif
