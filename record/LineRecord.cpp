#include "record/LineRecord.h"

#include "production/ChipLedger.h"
#include "production/ChipRecorder.h"

namespace otp {
namespace {

std::string Records(size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

}  // namespace

std::unique_ptr<LineRecord> LineRecord::Open(const std::string& url, const std::string& spoolPath,
                                             std::string& error, bool mayWait) {
    std::unique_ptr<LineRecord> record(new LineRecord(url, spoolPath));
    if (!record->spool_.Open(error)) return nullptr;
    record->notices_ = record->spool_.OpenNotices();
    std::string why;
    record->server_ = RecordServer::Connect(url, why);
    if (!record->server_) {
        error = record->Name() + " " + why;
        record->awayReason_ = why;
        return mayWait ? std::move(record) : nullptr;
    }
    if (!record->SendSpool()) {
        error = record->Waiting();
        return mayWait ? std::move(record) : nullptr;
    }
    return record;
}

std::string LineRecord::Waiting() const {
    std::string text = "waiting for the record server " + UrlWithoutPassword(url_) + " (" + awayReason_ + ")";
    if (!spool_.Empty())
        text += "; " + Records(spool_.Records().size()) + " kept in " + spool_.Path() + " go to it first";
    return text;
}

void LineRecord::WentAway(const std::string& why) {
    // A fresh connection for the next try: this one failed, whatever libpq thinks of it.
    server_.reset();
    if (awayReason_.empty())
        notices_.push_back(Name() + " went away (" + why + "): the records are kept in " + spool_.Path() +
                           ", and no chip starts until they are in");
    awayReason_ = why;
}

bool LineRecord::Reconnect() {
    if (server_) return true;
    std::string why;
    server_ = RecordServer::Connect(url_, why);
    if (!server_) awayReason_ = why;
    return server_ != nullptr;
}

bool LineRecord::SendSpool() {
    if (spool_.Empty()) return true;
    for (const SpooledRecord& kept : spool_.Records()) {
        SpooledRecord sent = kept;
        ChipRecord& r = sent.record;
        const ChipStore::Judge judge = [&](const std::optional<EarlierChip>& earlier) {
            // The chip left the socket as passed: the operator must hear of it.
            if (!earlier || r.verdict != Verdict::Pass) return;
            const std::string finding = SameRollingCodeFinding(r.rollingCode, *earlier);
            r.verdict = Verdict::Fail;
            r.failure = finding + " (found when its record reached the record server late)";
            notices_.push_back(DescribeChip(EarlierChip{r.writer, r.chip, IsoLocalTime(r.when), r.station}) +
                               ", recorded while the record server was away, passed with rolling code " +
                               r.rollingCode + ", which " + DescribeChip(*earlier) +
                               " has: it is failed in the record; set that chip apart");
        };
        std::string why;
        if (server_->Write(r, sent.key, judge, why) != RecordServer::Outcome::Written) {
            WentAway(why);
            return false;
        }
    }
    std::string error;
    if (!spool_.Clear(error)) {
        notices_.push_back(error);
        return false;
    }
    notices_.push_back(awayReason_.empty() ? "the records an earlier run kept in " + spool_.Path() + " are in " + Name()
                                           : Name() + " is back: the kept records are in it");
    awayReason_.clear();
    return true;
}

bool LineRecord::Ready(std::string& error, bool& waiting) {
    waiting = false;
    // A server that went away since the last record is found before a chip
    // starts, not after it.
    std::string why;
    if (server_ && !server_->Answers(why)) WentAway(why);
    if (spool_.Empty() && server_) return true;
    if (Reconnect() && SendSpool()) return true;
    error = Waiting();
    waiting = true;
    return false;
}

std::string LineRecord::Keep(ChipRecord& record, const Judge& judge) {
    SpooledRecord kept{NewRecordKey(), {}};
    if (server_ && spool_.Empty()) {
        std::string why;
        if (server_->Write(record, kept.key, judge, why) == RecordServer::Outcome::Written) return {};
        WentAway(why);
    }
    // Judged by what the log knows; the server judges again when it takes it.
    judge(std::nullopt);
    kept.record = record;
    std::string error;
    if (!spool_.Add(kept, error)) return Name() + " is away and " + error;
    return {};
}

std::vector<std::string> LineRecord::TakeNotices() {
    std::vector<std::string> taken;
    taken.swap(notices_);
    return taken;
}

bool UseRecordServer(ChipLedger& ledger, const std::string& url, const std::string& workingDir, std::string& error,
                     bool mayWait) {
    std::unique_ptr<LineRecord> record = LineRecord::Open(url, workingDir + "/" + kRecordSpoolName, error, mayWait);
    if (!record) return false;
    ledger.UseStore(std::move(record));
    return error.empty();
}

}  // namespace otp
