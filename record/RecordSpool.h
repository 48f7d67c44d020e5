#pragma once
// The records the record server could not take yet, in a file of their own,
// each on disk before its chip counts as recorded. They are sent in order,
// first of all, when the server is back; the file goes once every one is in.
// A record sent twice (the program ended between the server's commit and the
// file's removal) is known by its key and written once.
#include <string>
#include <vector>

#include "production/ChipRecord.h"

namespace otp {

struct SpooledRecord {
    std::string key;
    ChipRecord record;
};

class RecordSpool {
public:
    explicit RecordSpool(std::string path) : path_(std::move(path)) {}

    // Reads what an earlier run left in the file, if anything. False with
    // `error` when the file cannot be read or is not a spool of this program.
    bool Load(std::string& error);
    // Appends and syncs one record; false with `error` when it is not on disk.
    bool Add(const SpooledRecord& record, std::string& error);
    // Every record is in the server: the file goes.
    bool Clear(std::string& error);

    const std::vector<SpooledRecord>& Records() const { return records_; }
    bool Empty() const { return records_.empty(); }
    const std::string& Path() const { return path_; }
    // A record a line cut short held (the program ended while writing it):
    // its chip was never counted as recorded. Said once by Load.
    int Torn() const { return torn_; }

private:
    std::string path_;
    std::vector<SpooledRecord> records_;
    int torn_ = 0;
};

}  // namespace otp
