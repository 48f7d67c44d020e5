#pragma once
// The line's record server: one PostgreSQL database that every station
// writes its chips into, table `chips`. The schema is made when missing and
// carries its version; a newer one is refused. Each record is written in a
// transaction of its own that first locks its rolling code, so that two
// stations cannot both pass one code.
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/ChipStore.h"
#include "production/ProductionJob.h"
#include "production/RecordReader.h"
#include "production/RecordUrl.h"
#include "record/RecordUrl.h"

struct pg_conn;

namespace otp {

// The version of the schema this program makes and writes.
constexpr int kRecordSchemaVersion = 2;

class RecordServer {
public:
    // Connects to the libpq URI `url` and makes the schema when it is
    // missing (a reader only checks it is there); nullptr with `error`
    // saying why, as words after the server's name ("cannot be reached: ...").
    // Text goes both ways as UTF-8. A writer's statement ends after 15 s,
    // its wait for a rolling code's lock after 5 s, and a writer's
    // connection that dies in a transaction has its locks freed by the
    // server within seconds; a reader waits as long as a report takes.
    enum class Use { Write, Read };
    static std::unique_ptr<RecordServer> Connect(const std::string& url, std::string& error, Use use = Use::Write);
    ~RecordServer();
    RecordServer(const RecordServer&) = delete;
    RecordServer& operator=(const RecordServer&) = delete;

    // How a write ended. Away and Refused wrote nothing of the record.
    enum class Outcome {
        Written,  // in the record now, or its key was there already
        Away,     // the server could not take it now (not reached, gone, shutting down, busy): keep it, try again
        Refused,  // the server will not take this record, for what it holds: trying again changes nothing
    };
    // Writes `record` under `key`, which no other record has. `judge` is
    // shown the passed chip of another record that holds the rolling code
    // (locked until the record is in), then the record goes in as it left
    // `record`. A key already written is not written again (Written). Away
    // or Refused with `error` giving the server's reason.
    Outcome Write(ChipRecord& record, const std::string& key, const ChipStore::Judge& judge, std::string& error);
    // Appends every record between `from` and `to` (seconds since 1970;
    // 0: open end) to `rows`, in the order of their time, read in pieces of
    // a few thousand. Its text is UTF-8.
    bool Read(std::time_t from, std::time_t to, std::vector<ChipRecord>& rows, std::string& error);
    // The order of every job, by its id: asked for, and passed so far.
    bool ReadOrders(std::map<std::string, OrderCount>& orders, std::string& error);
    // Asks the server whether it is there (one short round trip); false with
    // `error` when it is not.
    bool Answers(std::string& error);

    // The order of a production job across the line. Each returns the job's
    // passed chips in `passed`; false with `error` (the server's reason)
    // when the server could not answer.
    // Enters the job (its fields, once) and forgets the places `station`
    // held for it: a run of it that ended without giving them back.
    bool OpenOrder(const Job& job, const std::string& jobId, const std::string& station, long& passed,
                   std::string& error);
    // Takes a place of the order for the next chip of `writer`, unless the
    // passed chips and the places of the chips under way fill the order
    // (`taken` false then). One transaction, the job's row locked first:
    // two stations never both take the last place.
    bool ClaimPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                    const std::string& run, bool& taken, long& passed, std::string& error);
    // Gives the place of `writer`'s chip back: it passed (and its record
    // counts now) or it did not.
    bool GiveBackPlace(const std::string& jobId, const std::string& station, const std::string& writer, long& passed,
                       std::string& error);

private:
    RecordServer(pg_conn* conn, std::string url) : conn_(conn), url_(std::move(url)) {}
    // The job's passed chips, in or out of a transaction.
    bool PassedOfJob(const std::string& jobId, long& passed, std::string& error);
    // The server's words about a failure, on one line and without the URL's secrets.
    std::string Why() const;
    pg_conn* conn_;
    std::string url_;
    int version_ = kRecordSchemaVersion;  // of the record as found (a reader's may be older)
};

// Appends the records the server at `url` holds from `from` on and before
// `to` (seconds since 1970; 0: an open end) to `rows` (a report's source),
// their text UTF-8; false with `error` saying why ("cannot be reached: ...").
bool ReadRecordServer(const std::string& url, std::time_t from, std::time_t to, std::vector<ChipRecord>& rows,
                      std::string& error);

// The order of every job the server at `url` holds, by the job's id (none
// in a record of a version before jobs); false with `error` saying why.
bool ReadRecordOrders(const std::string& url, std::map<std::string, OrderCount>& orders, std::string& error);

// The program's reader of the record server for reports: its records, its
// jobs' orders, and the URL shown without its password.
RecordReader RecordServerReader();

// A new record key: 32 hex digits from the system's random source.
std::string NewRecordKey();

}  // namespace otp
