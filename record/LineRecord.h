#pragma once
// The line's record as a station's ledger keeps it: each record goes to the
// record server at once, or, while the server is away, into the spool beside
// the program's files, to be sent first of all when it is back; meanwhile
// no chip starts.
#include <memory>
#include <string>
#include <vector>

#include "production/ChipStore.h"
#include "record/RecordServer.h"
#include "record/RecordSpool.h"

namespace otp {

// The spool's file name in the working folder.
constexpr const char* kRecordSpoolName = "otpwriter-record.spool";

class LineRecord : public ChipStore {
public:
    // Connects to `url` and reads the spool at `spoolPath`; what an earlier
    // run left there is sent at once. nullptr with `error` naming the server
    // and why when it cannot be reached, or the spool not read or sent;
    // with `mayWait` (the window, which stays open) a record whose server
    // is away, to be tried again before each chip, with `error` saying so.
    static std::unique_ptr<LineRecord> Open(const std::string& url, const std::string& spoolPath, std::string& error,
                                            bool mayWait = false);

    bool Ready(std::string& error, bool& waiting) override;
    std::string Keep(ChipRecord& record, const Judge& judge) override;
    std::vector<std::string> TakeNotices() override;
    // "the record server postgresql://otp@server/line", for messages.
    std::string Name() const { return "the record server " + UrlWithoutPassword(url_); }

private:
    LineRecord(std::string url, std::string spoolPath) : url_(std::move(url)), spool_(std::move(spoolPath)) {}
    // Connects again (each chip that waits asks once a second); true when connected.
    bool Reconnect();
    // Sends the spool in order; true when all of it is in.
    bool SendSpool();
    void WentAway(const std::string& why);
    std::string Waiting() const;

    std::string url_;
    RecordSpool spool_;
    std::unique_ptr<RecordServer> server_;
    std::string awayReason_;
    std::vector<std::string> notices_;
};

class ChipLedger;

// Every record of `ledger` goes to the record server at `url` too, its spool
// in `workingDir`. False with `error` when the server cannot be reached (or
// the spool an earlier run left cannot be sent): then nothing may run. With
// `mayWait` the server is tried again before each chip, and none starts
// until it is there; false with `error` only when the spool is unreadable.
bool UseRecordServer(ChipLedger& ledger, const std::string& url, const std::string& workingDir, std::string& error,
                     bool mayWait = false);

}  // namespace otp
