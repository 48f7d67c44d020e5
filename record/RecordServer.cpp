#include "record/RecordServer.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>

#include "production/LogHistory.h"
#include "production/Utf8Text.h"
#include "record/RecordUrl.h"

namespace otp {
namespace {

// Both advisory locks' first key: the one of the schema's making, and the
// rolling codes' (the one-key form, a space of its own).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7304304, 1)";

const char* const kSchema[] = {
    "CREATE TABLE otpwriter_schema (version integer NOT NULL)",
    "CREATE TABLE chips ("
    " id bigserial PRIMARY KEY,"
    " record_key text NOT NULL UNIQUE,"
    " \"time\" timestamptz NOT NULL,"
    " operation text NOT NULL,"
    " body text NOT NULL,"
    " rom_file text,"
    " checksum text,"
    " rolling_code text,"
    " verdict text NOT NULL CHECK (verdict IN ('pass', 'fail', 'refused', 'no writer')),"
    " failure text,"
    " duration_ms bigint NOT NULL,"
    " chip integer NOT NULL,"
    " run text NOT NULL,"
    " waits text NOT NULL CHECK (waits IN ('fast', 'fixed')),"
    " writer text NOT NULL,"
    " station text NOT NULL,"
    " lot text,"
    " \"operator\" text,"
    " recorded_at timestamptz NOT NULL DEFAULT now())",
    // What the writers' lock on a code keeps from happening, held by the
    // server itself: no two passed chips with one rolling code.
    "CREATE UNIQUE INDEX chips_one_passed_chip_a_code ON chips (rolling_code)"
    " WHERE verdict = 'pass' AND rolling_code <> 'not reported'",
    "CREATE INDEX chips_by_time ON chips (\"time\")",
    "INSERT INTO otpwriter_schema VALUES (1)",
};

// Version 2: production jobs. Every record names its job; the jobs table
// holds each job's fields once, and job_places a place of its order for
// every chip under way, so that every station counts one order. Only
// additions: a version 1 record is upgraded in place.
const char* const kSchemaJobs[] = {
    "ALTER TABLE chips ADD COLUMN job text, ADD COLUMN job_id text",
    "CREATE INDEX chips_by_job ON chips (job_id) WHERE job_id IS NOT NULL",
    "CREATE TABLE jobs ("
    " id text PRIMARY KEY,"
    " name text NOT NULL,"
    " image text NOT NULL,"
    " image_sha256 text NOT NULL,"
    " checksum text NOT NULL,"
    " body text NOT NULL,"
    " lock text NOT NULL,"
    " rolling text NOT NULL,"
    " bank text,"
    " firmware text NOT NULL,"
    " quantity bigint NOT NULL CHECK (quantity > 0),"
    " lot text,"
    " notes text,"
    " first_seen timestamptz NOT NULL DEFAULT now())",
    "CREATE TABLE job_places ("
    " job_id text NOT NULL REFERENCES jobs (id),"
    " station text NOT NULL,"
    " writer text NOT NULL,"
    " run text NOT NULL,"
    " claimed_at timestamptz NOT NULL DEFAULT now(),"
    " PRIMARY KEY (job_id, station, writer))",
    "INSERT INTO otpwriter_schema VALUES (2)",
};

// The chips of a job that passed: a chip (station, run, writer, number)
// passes when a step passed it and none failed; a refused step touched none.
std::string PassedOfJobSql(const char* job) {
    return std::string("SELECT count(*) FROM (SELECT 1 FROM chips WHERE job_id = ") + job +
           " AND verdict <> 'refused' GROUP BY station, run, writer, chip HAVING bool_and(verdict = 'pass')) passed";
}
// A place held longer than any chip takes was left by a station that died.
constexpr const char* kLivePlaces =
    "SELECT count(*) FROM job_places WHERE job_id = $1 AND claimed_at > now() - interval '15 minutes'";

// The server's message on one line.
std::string OneLine(const char* text) {
    std::string line = text ? text : "";
    // One blank for every run of blanks, tabs and line ends.
    std::string oneLine;
    for (char c : line) {
        if (c == '\n' || c == '\t') c = ' ';
        if (c != ' ' || (!oneLine.empty() && oneLine.back() != ' ')) oneLine += c;
    }
    while (!oneLine.empty() && oneLine.back() == ' ') oneLine.pop_back();
    return oneLine.empty() ? "no reason given" : oneLine;
}

// One statement's result, cleared when it goes.
class Result {
public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    bool Ok() const {
        const ExecStatusType s = PQresultStatus(r_);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    int Rows() const { return PQntuples(r_); }
    std::string At(int row, int column) const { return PQgetvalue(r_, row, column); }
    bool Null(int row, int column) const { return PQgetisnull(r_, row, column) != 0; }
    // A field of the error it ended in ("" when none).
    std::string Field(int code) const {
        const char* value = PQresultErrorField(r_, code);
        return value ? value : "";
    }

private:
    PGresult* r_;
};

Result Run(pg_conn* conn, const char* sql, const std::vector<const char*>& params = {}) {
    return Result(PQexecParams(conn, sql, static_cast<int>(params.size()), nullptr, params.data(), nullptr, nullptr, 0));
}

// Empty text is NULL in the record.
const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// A whole number of the server's; false when it is none, or out of range.
template <typename Number>
bool ReadNumber(const std::string& text, Number& number) {
    const char* end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, number);
    return read.ec == std::errc() && read.ptr == end && !text.empty();
}

// After a failed statement: says why, and ends the transaction.
bool Abandon(pg_conn* conn, std::string& error) {
    error = OneLine(PQerrorMessage(conn));
    if (PQstatus(conn) == CONNECTION_OK) Result(PQexec(conn, "ROLLBACK"));
    return false;
}

// Runs `sql`; false (the transaction ended) with `error` when it failed.
bool Step(pg_conn* conn, const char* sql, std::string& error, const std::vector<const char*>& params = {}) {
    return Run(conn, sql, params).Ok() || Abandon(conn, error);
}

using Outcome = RecordServer::Outcome;

// What a failed statement's SQLSTATE says of the record that was going in,
// by the longest entry its state begins with. Away keeps the record and
// waits for the server; Refused is for what this record holds, which no
// waiting changes. A state not here is Away: the record is kept, and the
// operator sees the server's reason.
struct StateRule {
    const char* state;
    Outcome outcome;
};
const StateRule kStateRules[] = {
    // The server, or the way to it.
    {"08", Outcome::Away},     // connection exception
    {"57P01", Outcome::Away},  // the administrator shut the server down
    {"57P02", Outcome::Away},  // crash shutdown
    {"57P03", Outcome::Away},  // cannot connect now: starting, in recovery
    {"57014", Outcome::Away},  // canceled: the statement's time-out, or an administrator
    {"53", Outcome::Away},     // insufficient resources: disk full, out of memory, too many connections
    {"58", Outcome::Away},     // system error: the server's own input/output
    {"XX", Outcome::Away},     // internal error, data or index corrupted: the server's fault, not the row's
    {"28", Outcome::Away},     // authorization: the user's password or rights changed meanwhile
    {"3D", Outcome::Away},     // no such database (dropped or renamed under the program)
    {"25006", Outcome::Away},  // a read-only transaction: a standby, until it is promoted
    // Another transaction in the way: the same record goes in a moment later.
    {"40001", Outcome::Away},  // serialization failure
    {"40P01", Outcome::Away},  // deadlock
    {"40003", Outcome::Away},  // statement completion unknown
    {"55P03", Outcome::Away},  // lock not available: the lock's time-out, another station holds the code
    // The server's set-up: every value goes as a parameter, so no record's
    // content causes a syntax or access error; a table or a right taken away
    // would refuse each record alike, so the station waits, showing why,
    // until the server's administrator puts it right.
    {"42", Outcome::Away},
    // This record.
    {"22", Outcome::Refused},     // data exception: a character not in the database's encoding, a value out of range
    {"23", Outcome::Refused},     // integrity constraint: a CHECK, a NOT NULL, the passed chips' unique code
    {"40002", Outcome::Refused},  // an integrity constraint checked at the commit
    {"44", Outcome::Refused},     // a view's WITH CHECK OPTION
    {"54", Outcome::Refused},     // program limit exceeded: a value too long for an index, a row too large
    {"P0", Outcome::Refused},     // a trigger of the server's raised an error over the row
};

Outcome OutcomeOfState(const std::string& state) {
    size_t longest = 0;
    Outcome outcome = Outcome::Away;
    for (const StateRule& rule : kStateRules) {
        const size_t n = std::strlen(rule.state);
        if (n > longest && state.compare(0, n, rule.state) == 0) {
            longest = n;
            outcome = rule.outcome;
        }
    }
    return outcome;
}

// After a failed statement of a write: says why and what it means for the
// record, and ends the transaction.
Outcome Failed(pg_conn* conn, const Result& failed, std::string& error, const std::string& url) {
    error = WithoutSecrets(OneLine(PQerrorMessage(conn)), url);
    if (PQstatus(conn) != CONNECTION_OK) return Outcome::Away;
    Result(PQexec(conn, "ROLLBACK"));
    const std::string state = failed.Field(PG_DIAG_SQLSTATE);
    // Another connection wrote this record's key meanwhile (the same spool
    // sent twice at once): it is in.
    if (state == "23505" && failed.Field(PG_DIAG_CONSTRAINT_NAME) == "chips_record_key_key") {
        error.clear();
        return Outcome::Written;
    }
    return OutcomeOfState(state);
}

bool MakeSchema(pg_conn* conn, RecordServer::Use use, int& schemaVersion, std::string& error) {
    schemaVersion = kRecordSchemaVersion;
    if (!Step(conn, "BEGIN", error) || !Step(conn, kSchemaLock, error)) return false;
    const Result exists = Run(conn, "SELECT to_regclass('otpwriter_schema') IS NOT NULL");
    if (!exists.Ok()) return Abandon(conn, error);
    if (exists.At(0, 0) == "f" && use == RecordServer::Use::Read) {
        Result(PQexec(conn, "ROLLBACK"));
        error = "it holds no chip record (no program has recorded into it yet)";
        return false;
    }
    if (exists.At(0, 0) == "f") {
        for (const char* sql : kSchema)
            if (!Step(conn, sql, error)) return false;
        for (const char* sql : kSchemaJobs)
            if (!Step(conn, sql, error)) return false;
    } else {
        const Result version = Run(conn, "SELECT max(version) FROM otpwriter_schema");
        if (!version.Ok()) return Abandon(conn, error);
        if (version.Null(0, 0)) {
            Result(PQexec(conn, "ROLLBACK"));
            error = "its table otpwriter_schema holds no version";
            return false;
        }
        int found = 0;
        if (!ReadNumber(version.At(0, 0), found) || found > kRecordSchemaVersion) {
            error = "its record is of version " + version.At(0, 0) + ", newer than this program's (" +
                    std::to_string(kRecordSchemaVersion) + "): record with the program that made it, or a newer one";
            Result(PQexec(conn, "ROLLBACK"));
            return false;
        }
        // A reader reads an older record as it is; a writer brings it up to date.
        schemaVersion = found;
        if (found < 2 && use == RecordServer::Use::Write) {
            for (const char* sql : kSchemaJobs)
                if (!Step(conn, sql, error)) return false;
            schemaVersion = 2;
        }
    }
    return Step(conn, "COMMIT", error);
}

}  // namespace

std::string NewRecordKey() {
    std::random_device random;
    char key[33];
    for (int i = 0; i < 4; ++i) std::snprintf(key + 8 * i, 9, "%08x", static_cast<unsigned>(random()));
    return key;
}

namespace {

// The settings of a station's connection, which writes between chips. A
// station that dies in the middle of a write (its computer off, its cable
// out) must not hold a rolling code's lock for long: the server ends a
// session idle in a transaction after 5 s, and notices a peer gone quiet by
// its own keep-alives (5 s, then 3 probes 2 s apart) and unanswered sends
// (10 s); a write waits for another station's lock 5 s, then the record is
// kept and tried again. A statement the server does not answer ends after
// 15 s.
const char* const kWriterSettings[] = {
    "SET statement_timeout = 15000",
    "SET lock_timeout = 5000",
    "SET idle_in_transaction_session_timeout = 5000",
    "SET tcp_keepalives_idle = 5",
    "SET tcp_keepalives_interval = 2",
    "SET tcp_keepalives_count = 3",
    "SET tcp_user_timeout = 10000",
};
// A report's reader waits as long as the server takes.
const char* const kReaderSettings[] = {"SET statement_timeout = 0"};

// Records read in one piece: a large table is never held whole by libpq
// beside the rows made of it.
constexpr const char* kFetch = "FETCH 5000 FROM chips_read";

// One row of the record as a report reads it; false when a number of it does not read.
bool RowOfRecord(const Result& r, int i, ChipRecord& c) {
    long long when = 0;
    if (!ReadNumber(r.At(i, 0), when) || !ReadNumber(r.At(i, 8), c.durationMs) || !ReadNumber(r.At(i, 9), c.chip))
        return false;
    c.when = static_cast<std::time_t>(when);
    c.operation = r.At(i, 1);
    c.body = r.At(i, 2);
    c.romFile = r.At(i, 3);
    c.checksum = r.At(i, 4);
    c.rollingCode = r.At(i, 5);
    if (!VerdictFromWord(r.At(i, 6), c.verdict)) c.verdict = Verdict::Fail;
    c.failure = r.At(i, 7);
    c.run = r.At(i, 10);
    c.fastWaits = r.At(i, 11) == "fast";
    c.writer = r.At(i, 12);
    c.station = r.At(i, 13);
    c.lot = r.At(i, 14);
    c.operatorName = r.At(i, 15);
    c.job = r.At(i, 16);
    c.jobId = r.At(i, 17);
    return true;
}

}  // namespace

std::string RecordServer::Why() const { return WithoutSecrets(OneLine(PQerrorMessage(conn_)), url_); }

std::unique_ptr<RecordServer> RecordServer::Connect(const std::string& url, std::string& error, Use use) {
    // Connecting to a URL libpq does not read would put its words, which
    // quote the URL, into the message.
    if (!RecordUrlReads(url)) {
        error = "cannot be used: its URL does not read as libpq's (postgresql://user@host/database?parameter=value; "
                "an @ or / in a password is written %40 or %2F)";
        return nullptr;
    }
    // The URL's own settings win over the ones before it, and lose to the
    // ones after it: the text goes as UTF-8 whatever the URL says.
    const char* const keys[] = {"connect_timeout",  "application_name", "keepalives_idle", "keepalives_interval",
                                "keepalives_count", "tcp_user_timeout", "dbname",          "client_encoding",
                                nullptr};
    const char* const values[] = {"5", "otpwriter", "5", "2", "3", "10000", url.c_str(), "UTF8", nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn) {
        error = "no memory for a connection";
        return nullptr;
    }
    std::unique_ptr<RecordServer> server(new RecordServer(conn, url));
    if (PQstatus(conn) != CONNECTION_OK) {
        error = "cannot be reached: " + server->Why();
        return nullptr;
    }
    std::string why;
    bool set = true;
    if (use == Use::Write) {
        for (const char* sql : kWriterSettings) set = set && Step(conn, sql, why);
    } else {
        for (const char* sql : kReaderSettings) set = set && Step(conn, sql, why);
    }
    if (!set || !MakeSchema(conn, use, server->version_, why)) {
        error = (why.rfind("its record is of version", 0) == 0 ? "is refused: " : "cannot be used: ") +
                WithoutSecrets(why, url);
        return nullptr;
    }
    return server;
}

RecordServer::~RecordServer() { PQfinish(conn_); }

bool RecordServer::Answers(std::string& error) {
    if (Step(conn_, "SELECT 1", error)) return true;
    error = WithoutSecrets(error, url_);
    return false;
}

RecordServer::Outcome RecordServer::Write(ChipRecord& record, const std::string& key, const ChipStore::Judge& judge,
                                          std::string& error) {
    Outcome failure = Outcome::Away;
    // Runs one statement of the write; false (the transaction ended) with `failure` and `error` when it failed.
    const auto step = [&](const char* sql, const std::vector<const char*>& params = {}) {
        const Result r = Run(conn_, sql, params);
        if (r.Ok()) return true;
        failure = Failed(conn_, r, error, url_);
        return false;
    };
    if (!step("BEGIN")) return failure;
    {
        const Result seen = Run(conn_, "SELECT 1 FROM chips WHERE record_key = $1", {key.c_str()});
        if (!seen.Ok()) return Failed(conn_, seen, error, url_);
        if (seen.Rows() > 0) return step("COMMIT") ? Outcome::Written : failure;
    }
    std::optional<EarlierChip> holder;
    if (IsRollingCode(record.rollingCode)) {
        const std::string utf8Code = TextAsUtf8(record.rollingCode);
        const char* code = utf8Code.c_str();
        // Held until the commit: another station's record of this code waits here.
        if (!step("SELECT pg_advisory_xact_lock(hashtext($1))", {code})) return failure;
        const char* lookUp =
            "SELECT station, writer, chip, extract(epoch FROM \"time\")::bigint FROM chips"
            " WHERE rolling_code = $1 AND verdict = 'pass' ORDER BY \"time\", id LIMIT 1";
        const Result held = Run(conn_, lookUp, {code});
        if (!held.Ok()) return Failed(conn_, held, error, url_);
        int chip = 0;
        long long time = 0;
        if (held.Rows() > 0 && ReadNumber(held.At(0, 2), chip) && ReadNumber(held.At(0, 3), time))
            holder = EarlierChip{held.At(0, 1), chip, IsoLocalTime(static_cast<std::time_t>(time)), held.At(0, 0)};
        else if (held.Rows() > 0)
            holder = EarlierChip{held.At(0, 1), 0, "a time that does not read", held.At(0, 0)};
    }
    judge(holder);
    const std::string time = IsoLocalTime(record.when);
    const std::string duration = std::to_string(record.durationMs);
    const std::string chip = std::to_string(record.chip);
    // The program's 8-bit text (Writer.ini, .rom files, the command line) as UTF-8.
    const std::string operation = TextAsUtf8(record.operation), body = TextAsUtf8(record.body),
                      romFile = TextAsUtf8(record.romFile), checksum = TextAsUtf8(record.checksum),
                      rollingCode = TextAsUtf8(record.rollingCode), failureText = TextAsUtf8(record.failure),
                      run = TextAsUtf8(record.run), writer = TextAsUtf8(record.writer),
                      station = TextAsUtf8(record.station), lot = TextAsUtf8(record.lot),
                      operatorName = TextAsUtf8(record.operatorName), job = TextAsUtf8(record.job),
                      jobId = TextAsUtf8(record.jobId);
    const std::vector<const char*> row = {key.c_str(),
                                          time.c_str(),
                                          operation.c_str(),
                                          body.c_str(),
                                          OrNull(romFile),
                                          OrNull(checksum),
                                          OrNull(rollingCode),
                                          VerdictWord(record.verdict),
                                          OrNull(failureText),
                                          duration.c_str(),
                                          chip.c_str(),
                                          run.c_str(),
                                          record.fastWaits ? "fast" : "fixed",
                                          writer.c_str(),
                                          station.c_str(),
                                          OrNull(lot),
                                          OrNull(operatorName),
                                          OrNull(job),
                                          OrNull(jobId)};
    const char* insert =
        "INSERT INTO chips (record_key, \"time\", operation, body, rom_file, checksum, rolling_code, verdict,"
        " failure, duration_ms, chip, run, waits, writer, station, lot, \"operator\", job, job_id)"
        " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19)";
    return step(insert, row) && step("COMMIT") ? Outcome::Written : failure;
}

bool RecordServer::PassedOfJob(const std::string& jobId, long& passed, std::string& error) {
    const Result r = Run(conn_, PassedOfJobSql("$1").c_str(), {jobId.c_str()});
    if (!r.Ok() || !ReadNumber(r.At(0, 0), passed)) {
        error = WithoutSecrets(OneLine(PQerrorMessage(conn_)), url_);
        return false;
    }
    return true;
}

bool RecordServer::OpenOrder(const Job& job, const std::string& jobId, const std::string& station, long& passed,
                             std::string& error) {
    std::string notes;
    for (const std::string& note : job.notes) notes += (notes.empty() ? "" : "\n") + note;
    const std::string quantity = std::to_string(job.quantity);
    const std::string fields[] = {jobId,       TextAsUtf8(job.name),     TextAsUtf8(job.image), job.imageSha256,
                                  job.checksum, TextAsUtf8(job.body),     job.lock,              job.rolling,
                                  job.bank,     TextAsUtf8(job.firmware), quantity,              TextAsUtf8(job.lot),
                                  TextAsUtf8(notes)};
    // The bank, the lot and the notes may be empty: NULL.
    std::vector<const char*> row;
    for (size_t i = 0; i < std::size(fields); ++i)
        row.push_back(i == 8 || i >= 11 ? OrNull(fields[i]) : fields[i].c_str());
    const std::string utf8Station = TextAsUtf8(station);
    const bool done =
        Step(conn_, "BEGIN", error) &&
        Step(conn_,
             "INSERT INTO jobs (id, name, image, image_sha256, checksum, body, lock, rolling, bank, firmware,"
             " quantity, lot, notes) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13)"
             " ON CONFLICT (id) DO NOTHING",
             error, row) &&
        Step(conn_, "DELETE FROM job_places WHERE job_id = $1 AND station = $2", error,
             {jobId.c_str(), utf8Station.c_str()}) &&
        Step(conn_, "COMMIT", error) && PassedOfJob(jobId, passed, error);
    if (!done) error = WithoutSecrets(error, url_);
    return done;
}

bool RecordServer::ClaimPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                              const std::string& run, bool& taken, long& passed, std::string& error) {
    taken = false;
    const std::string s = TextAsUtf8(station), w = TextAsUtf8(writer), r = TextAsUtf8(run);
    const auto fail = [&] {
        if (error.empty()) error = OneLine(PQerrorMessage(conn_));
        error = WithoutSecrets(error, url_);
        if (PQstatus(conn_) == CONNECTION_OK) Result(PQexec(conn_, "ROLLBACK"));
        return false;
    };
    error.clear();
    if (!Step(conn_, "BEGIN", error)) return fail();
    // Every claim of the job waits here for the one before it to end.
    const Result job = Run(conn_, "SELECT quantity FROM jobs WHERE id = $1 FOR UPDATE", {jobId.c_str()});
    long quantity = 0;
    if (!job.Ok() || job.Rows() != 1 || !ReadNumber(job.At(0, 0), quantity)) {
        if (job.Ok()) error = "it holds no job " + jobId;
        return fail();
    }
    // A place of this writer's still there belongs to a chip that never ended.
    if (!Step(conn_, "DELETE FROM job_places WHERE job_id = $1 AND station = $2 AND writer = $3", error,
              {jobId.c_str(), s.c_str(), w.c_str()}))
        return fail();
    if (!PassedOfJob(jobId, passed, error)) return fail();
    const Result places = Run(conn_, kLivePlaces, {jobId.c_str()});
    long underWay = 0;
    if (!places.Ok() || !ReadNumber(places.At(0, 0), underWay)) return fail();
    if (passed + underWay < quantity) {
        if (!Step(conn_, "INSERT INTO job_places (job_id, station, writer, run) VALUES ($1, $2, $3, $4)", error,
                  {jobId.c_str(), s.c_str(), w.c_str(), r.c_str()}))
            return fail();
        taken = true;
    }
    if (!Step(conn_, "COMMIT", error)) {
        taken = false;
        return fail();
    }
    return true;
}

bool RecordServer::GiveBackPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                                 long& passed, std::string& error) {
    const std::string s = TextAsUtf8(station), w = TextAsUtf8(writer);
    const bool done = Step(conn_, "DELETE FROM job_places WHERE job_id = $1 AND station = $2 AND writer = $3", error,
                           {jobId.c_str(), s.c_str(), w.c_str()}) &&
                      PassedOfJob(jobId, passed, error);
    if (!done) error = WithoutSecrets(error, url_);
    return done;
}

bool RecordServer::Read(std::time_t from, std::time_t to, std::vector<ChipRecord>& rows, std::string& error) {
    const std::string fromText = std::to_string(from);
    const std::string toText = std::to_string(to);
    // One snapshot for every piece: what is written meanwhile waits for the next report.
    if (!Step(conn_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", error)) {
        error = WithoutSecrets(error, url_);
        return false;
    }
    // A record of version 1 has no job columns.
    const char* declare = version_ >= 2 ?
        "DECLARE chips_read NO SCROLL CURSOR FOR"
        " SELECT extract(epoch FROM \"time\")::bigint, operation, body, rom_file, checksum, rolling_code, verdict,"
        " failure, duration_ms, chip, run, waits, writer, station, lot, \"operator\", job, job_id FROM chips"
        " WHERE ($1::bigint = 0 OR \"time\" >= to_timestamp($1::bigint))"
        " AND ($2::bigint = 0 OR \"time\" < to_timestamp($2::bigint)) ORDER BY \"time\", id" :
        "DECLARE chips_read NO SCROLL CURSOR FOR"
        " SELECT extract(epoch FROM \"time\")::bigint, operation, body, rom_file, checksum, rolling_code, verdict,"
        " failure, duration_ms, chip, run, waits, writer, station, lot, \"operator\", NULL, NULL FROM chips"
        " WHERE ($1::bigint = 0 OR \"time\" >= to_timestamp($1::bigint))"
        " AND ($2::bigint = 0 OR \"time\" < to_timestamp($2::bigint)) ORDER BY \"time\", id";
    if (!Step(conn_, declare, error, {fromText.c_str(), toText.c_str()})) {
        error = WithoutSecrets(error, url_);
        return false;
    }
    for (;;) {
        const Result piece = Run(conn_, kFetch);
        if (!piece.Ok()) {
            Abandon(conn_, error);
            error = WithoutSecrets(error, url_);
            return false;
        }
        if (piece.Rows() == 0) break;
        for (int i = 0; i < piece.Rows(); ++i) {
            ChipRecord c;
            if (!RowOfRecord(piece, i, c)) {
                Result(PQexec(conn_, "ROLLBACK"));
                error = "a record of it holds a time, duration or chip number that does not read: " + piece.At(i, 0) +
                        ", " + piece.At(i, 8) + ", " + piece.At(i, 9);
                return false;
            }
            rows.push_back(std::move(c));
        }
    }
    if (!Step(conn_, "COMMIT", error)) {
        error = WithoutSecrets(error, url_);
        return false;
    }
    return true;
}

bool RecordServer::ReadOrders(std::map<std::string, OrderCount>& orders, std::string& error) {
    if (version_ < 2) return true;
    const Result r = Run(conn_, ("SELECT id, quantity, (" + PassedOfJobSql("jobs.id") + ") FROM jobs ORDER BY id").c_str());
    if (!r.Ok()) {
        error = WithoutSecrets(OneLine(PQerrorMessage(conn_)), url_);
        return false;
    }
    for (int i = 0; i < r.Rows(); ++i) {
        OrderCount order;
        if (!ReadNumber(r.At(i, 1), order.quantity) || !ReadNumber(r.At(i, 2), order.passed)) {
            error = "the order of job " + r.At(i, 0) + " does not read: " + r.At(i, 1) + ", " + r.At(i, 2);
            return false;
        }
        orders[r.At(i, 0)] = order;
    }
    return true;
}

bool ReadRecordOrders(const std::string& url, std::map<std::string, OrderCount>& orders, std::string& error) {
    std::string why;
    const std::unique_ptr<RecordServer> server = RecordServer::Connect(url, why, RecordServer::Use::Read);
    if (!server) {
        error = why;
        return false;
    }
    if (!server->ReadOrders(orders, why)) {
        error = "cannot be read: " + why;
        return false;
    }
    return true;
}

RecordReader RecordServerReader() {
    RecordReader reader;
    reader.read = ReadRecordServer;
    reader.orders = ReadRecordOrders;
    reader.shown = ShownRecordUrl;
    return reader;
}

bool ReadRecordServer(const std::string& url, std::time_t from, std::time_t to, std::vector<ChipRecord>& rows,
                      std::string& error) {
    std::string why;
    const std::unique_ptr<RecordServer> server = RecordServer::Connect(url, why, RecordServer::Use::Read);
    if (!server) {
        error = why;
        return false;
    }
    if (!server->Read(from, to, rows, why)) {
        error = "cannot be read: " + why;
        return false;
    }
    return true;
}

}  // namespace otp
