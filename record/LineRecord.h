#pragma once
// The line's record as a station's ledger keeps it: each record goes to the
// record server at once, or, while the server is away, into the station's
// spool, to be sent first of all when it is back; meanwhile no chip starts.
// A record the server refuses for what it holds is set aside with its
// reason (its chip is not recorded) and never holds up the ones after it.
#include <memory>
#include <string>
#include <vector>

#include "production/ChipStore.h"
#include "record/RecordServer.h"
#include "record/RecordSpool.h"
#include "record/RecordUrl.h"

namespace otp {

class LineRecord : public ChipStore {
public:
    // Locks and reads the spool at `spoolPath` (taking in `legacyPath`, the
    // previous version's, when there is one) and connects to `url`; what an
    // earlier run left is sent at once. A record whose server is away or
    // whose spool cannot be used yet comes with `error` naming the server or
    // the spool and why; it is tried again before each chip.
    static std::unique_ptr<LineRecord> Open(const std::string& url, const std::string& spoolPath,
                                            const std::string& legacyPath, std::string& error);

    // A record with nowhere to keep its spool (`why`): no chip runs, each
    // asking is told why.
    static std::unique_ptr<LineRecord> WithoutSpool(const std::string& url, const std::string& why);

    bool Ready(std::string& error, bool& waiting) override;
    std::string Keep(ChipRecord& record, const Judge& judge) override;
    std::vector<std::string> TakeNotices() override;
    std::string OnlyHere() const override;
    bool KeepsOrders() const override { return true; }
    bool OpenOrder(const Job& job, const std::string& jobId, const std::string& station, long& passed,
                   std::string& error) override;
    bool ClaimPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                    const std::string& run, bool& taken, long& passed, std::string& error) override;
    bool GiveBackPlace(const std::string& jobId, const std::string& station, const std::string& writer, long& passed,
                       std::string& error) override;
    // "the record server postgresql://otp@server/line", for messages.
    std::string Name() const { return "the record server " + ShownRecordUrl(url_); }

private:
    LineRecord(std::string url, std::string spoolPath, std::string legacyPath)
        : url_(std::move(url)), legacyPath_(std::move(legacyPath)), spool_(std::move(spoolPath)) {}
    // Locks and reads the spool; false with spoolError_ saying why not.
    bool OpenSpool();
    // Connects again (each chip that waits asks once a second); true when connected.
    bool Reconnect();
    // Sends the spool in order, setting aside what the server refuses; true
    // when all of it is in.
    bool SendSpool();
    void WentAway(const std::string& why);
    // A record the server refused: into the set-aside file; what to say of it.
    std::string Refused(const SpooledRecord& kept, const std::string& why, bool wasKept);
    std::string Waiting() const;
    // The server with every record of the spool in it, for a question of
    // the order; false with `error` when it is away or the spool not sent.
    bool OrderServer(std::string& error);
    // A question of the order the server did not answer: away (said so,
    // as for a record) or refused, in `error`.
    void OrderFailed(const std::string& what, const std::string& why, std::string& error);

    std::string url_;
    std::string legacyPath_;
    RecordSpool spool_;
    bool spoolOpen_ = false;
    std::string spoolError_;
    std::unique_ptr<RecordServer> server_;
    std::string awayReason_;
    std::vector<std::string> notices_;
};

class ChipLedger;

// Every record of `ledger` goes to the record server at `url` too, its spool
// named after the ledger's station beside its log (or in the user's data
// folder), the spool an earlier version kept in `workingDir` taken in. False
// with `error` when the record cannot be used now (the server cannot be
// reached, the spool is another program's or cannot be written, there is no
// folder for it): a console stops, a window runs no chip until it can be
// used, as the record is tried again before each one. What the spool had to
// say at the start is in the ledger's notices either way.
bool UseRecordServer(ChipLedger& ledger, const std::string& url, const std::string& workingDir, std::string& error);

}  // namespace otp
