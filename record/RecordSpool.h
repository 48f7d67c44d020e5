#pragma once
// The records the record server could not take yet, in a file of their own,
// each on disk before its chip counts as recorded. They are sent in order,
// first of all, when the server is back; the file goes once every one is in.
// A record sent twice (the program ended between the server's commit and the
// file's removal) is known by its key and written once.
//
// One record a line, its fields as CSV with line breaks written \n, then the
// CRC-32 of the line's text before it: a line the disk or a hand damaged is
// found by its CRC and moved alone to the set-aside file beside the spool,
// which keeps its bytes and why; every other record stays. One program at a
// time: the spool is locked through a file of its own (<spool>.lock), which
// stays put while the spool itself is replaced and removed.
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "record/SpoolFiles.h"

namespace otp {

struct SpooledRecord {
    std::string key;
    ChipRecord record;
};

class RecordSpool {
public:
    explicit RecordSpool(std::string path) : path_(std::move(path)) {}
    ~RecordSpool() = default;  // the lock goes with it

    // Locks the spool for this program's life and reads what an earlier run
    // left in it and, when given, in `legacyPath` (the previous version's
    // spool, whose records move into this one and which then goes). False
    // with `error` when another program holds it, or it cannot be made,
    // locked or read. Damaged lines are set aside, not an error.
    bool Open(std::string& error, const std::string& legacyPath = "");
    // What Open has to tell the operator once, before any chip: lines set
    // aside (how many, where), a line cut short taken off, an old spool
    // taken in. Empty when nothing.
    std::vector<std::string> OpenNotices() const { return notices_; }

    // Appends and syncs one record: all of it is on disk, or none of it and
    // `error` says why.
    bool Add(const SpooledRecord& record, std::string& error);
    // Every record is in the server: the file goes.
    bool Clear(std::string& error);
    // A record the server refused for what it holds: into the set-aside file
    // with `reason`, and out of the spool.
    bool SetAside(const SpooledRecord& record, const std::string& reason, std::string& error);

    const std::vector<SpooledRecord>& Records() const { return records_; }
    bool Empty() const { return records_.empty(); }
    const std::string& Path() const { return path_; }
    std::string SetAsidePath() const { return path_ + ".set-aside"; }
    std::string LockPath() const { return path_ + ".lock"; }

private:
    // Takes in the file at `from` (this spool, or the previous version's).
    bool TakeIn(const std::string& from, bool own, std::string& error);
    bool Rewrite(std::string& error);
    bool Locked(std::string& error) const;

    std::string path_;
    FileLock lock_;
    std::vector<SpooledRecord> records_;
    std::vector<std::string> notices_;
};

// The spool's path for `station`: otpwriter-record-<station>.spool (the
// name made safe as a file name) beside the production log `logPath` when
// there is one, else in the user's data folder (Linux: $XDG_DATA_HOME/
// otpwriter or ~/.local/share/otpwriter; Windows: %LOCALAPPDATA%\otpwriter),
// made (0700) when missing. False with `error` when no folder can be made.
bool RecordSpoolPath(const std::string& station, const std::string& logPath, std::string& path, std::string& error);

// The spool the previous version kept in the working folder, taken in by
// Open when given as its `legacyPath`.
constexpr const char* kLegacyRecordSpoolName = "otpwriter-record.spool";

}  // namespace otp
