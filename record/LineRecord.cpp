#include "record/LineRecord.h"

#include "production/ChipLedger.h"
#include "production/ChipRecorder.h"

namespace otp {
namespace {

std::string Records(size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

std::string ChipOf(const ChipRecord& r) {
    return DescribeChip(EarlierChip{r.writer, r.chip, IsoLocalTime(r.when), r.station});
}

}  // namespace

std::unique_ptr<LineRecord> LineRecord::Open(const std::string& url, const std::string& spoolPath,
                                             const std::string& legacyPath, std::string& error) {
    std::unique_ptr<LineRecord> record(new LineRecord(url, spoolPath, legacyPath));
    if (!record->OpenSpool()) {
        error = record->spoolError_;
        return record;
    }
    std::string why;
    record->server_ = RecordServer::Connect(url, why);
    if (!record->server_) {
        error = record->Name() + " " + why;
        record->awayReason_ = why;
        return record;
    }
    if (!record->SendSpool()) error = record->Waiting();
    return record;
}

std::unique_ptr<LineRecord> LineRecord::WithoutSpool(const std::string& url, const std::string& why) {
    std::unique_ptr<LineRecord> record(new LineRecord(url, "", ""));
    record->spoolError_ = why;
    return record;
}

bool LineRecord::OpenSpool() {
    if (spoolOpen_) return true;
    if (spool_.Path().empty()) return false;  // spoolError_ says why there is none
    std::string error;
    if (!spool_.Open(error, legacyPath_)) {
        spoolError_ = error;
        return false;
    }
    spoolOpen_ = true;
    spoolError_.clear();
    const std::vector<std::string> found = spool_.OpenNotices();
    notices_.insert(notices_.end(), found.begin(), found.end());
    return true;
}

std::string LineRecord::Waiting() const {
    std::string text = "waiting for " + Name() + " (" + awayReason_ + ")";
    if (!spool_.Empty())
        text += "; " + Records(spool_.Records().size()) + " kept in " + spool_.Path() + " go to it first";
    return text;
}

std::string LineRecord::OnlyHere() const {
    if (!spoolOpen_ || spool_.Empty()) return {};
    const size_t n = spool_.Records().size();
    return Records(n) + (n == 1 ? " is" : " are") + " only in " + spool_.Path() + ", not yet in " + Name() +
           ": they go to it first when a program next records with this spool";
}

void LineRecord::WentAway(const std::string& why) {
    // A fresh connection for the next try: this one failed, whatever libpq thinks of it.
    server_.reset();
    if (awayReason_.empty())
        notices_.push_back(Name() + " went away (" + why + "): the records are kept in " + spool_.Path() +
                           ", and no chip starts until they are in");
    awayReason_ = why;
}

std::string LineRecord::Refused(const SpooledRecord& kept, const std::string& why, bool wasKept) {
    std::string error;
    const bool setAside = spool_.SetAside(kept, why, error);
    std::string text = Name() + " refused the record of " + ChipOf(kept.record) + " (" + why + ")";
    text += setAside ? "; it is set aside in " + spool_.SetAsidePath() : "; " + error;
    // A chip kept while the server was away left the socket as recorded.
    if (wasKept && kept.record.verdict == Verdict::Pass) text += ": that chip is not recorded; set it apart";
    return text;
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
    // Set-asides change the spool's records: the ones to send are taken first.
    const std::vector<SpooledRecord> kept = spool_.Records();
    for (const SpooledRecord& one : kept) {
        SpooledRecord sent = one;
        ChipRecord& r = sent.record;
        const ChipStore::Judge judge = [&](const std::optional<EarlierChip>& earlier) {
            // The chip left the socket as passed: the operator must hear of it.
            if (!earlier || r.verdict != Verdict::Pass) return;
            const std::string finding = SameRollingCodeFinding(r.rollingCode, *earlier);
            r.verdict = Verdict::Fail;
            r.failure = finding + " (found when its record reached the record server late)";
            notices_.push_back(ChipOf(r) + ", recorded while the record server was away, passed with rolling code " +
                               r.rollingCode + ", which " + DescribeChip(*earlier) +
                               " has: it is failed in the record; set that chip apart");
        };
        std::string why;
        switch (server_->Write(r, sent.key, judge, why)) {
            case RecordServer::Outcome::Written: break;
            case RecordServer::Outcome::Refused: notices_.push_back(Refused(one, why, true)); break;
            case RecordServer::Outcome::Away: WentAway(why); return false;
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
    // A spool another program held, or that could not be made, is tried
    // again: no chip runs until a record can reach the server or the spool.
    if (!OpenSpool()) {
        error = spoolError_;
        return false;
    }
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
    if (!OpenSpool()) return spoolError_;
    SpooledRecord kept{NewRecordKey(), {}};
    if (server_ && spool_.Empty()) {
        std::string why;
        switch (server_->Write(record, kept.key, judge, why)) {
            case RecordServer::Outcome::Written: return {};
            case RecordServer::Outcome::Refused:
                kept.record = record;
                return Refused(kept, why, false);
            case RecordServer::Outcome::Away: WentAway(why); break;
        }
    }
    // Judged by what the log knows; the server judges again when it takes it.
    judge(std::nullopt);
    kept.record = record;
    std::string error;
    if (!spool_.Add(kept, error)) return Name() + " is away and " + error;
    return {};
}

bool LineRecord::OrderServer(std::string& error) {
    // The server counts the order's passed chips: a record kept only here would be missing from them.
    if (!OpenSpool()) {
        error = spoolError_;
        return false;
    }
    // A server that went away since the last question is said so, as before a chip.
    std::string why;
    if (server_ && !server_->Answers(why)) WentAway(why);
    if (!Reconnect() || !SendSpool()) {
        error = Name() + " is away (" + awayReason_ + ")";
        return false;
    }
    return true;
}

void LineRecord::OrderFailed(const std::string& what, const std::string& why, std::string& error) {
    std::string lost;
    if (server_ && !server_->Answers(lost)) {
        WentAway(lost);
        error = Name() + " is away (" + lost + ")";
        return;
    }
    server_.reset();  // a fresh connection for the next question
    error = Name() + " could not " + what + ": " + why;
}

bool LineRecord::OpenOrder(const Job& job, const std::string& jobId, const std::string& station, long& passed,
                           std::string& error) {
    if (!OrderServer(error)) return false;
    std::string why;
    if (server_->OpenOrder(job, jobId, station, passed, why)) return true;
    OrderFailed("enter the job", why, error);
    return false;
}

bool LineRecord::ClaimPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                            const std::string& run, bool& taken, long& passed, std::string& error) {
    taken = false;
    if (!OrderServer(error)) return false;
    std::string why;
    if (server_->ClaimPlace(jobId, station, writer, run, taken, passed, why)) return true;
    OrderFailed("give a place of the order", why, error);
    return false;
}

bool LineRecord::GiveBackPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                               long& passed, std::string& error) {
    if (!OrderServer(error)) return false;
    std::string why;
    if (server_->GiveBackPlace(jobId, station, writer, passed, why)) return true;
    OrderFailed("take back a place of the order", why, error);
    return false;
}

std::vector<std::string> LineRecord::TakeNotices() {
    std::vector<std::string> taken;
    taken.swap(notices_);
    return taken;
}

bool UseRecordServer(ChipLedger& ledger, const std::string& url, const std::string& workingDir, std::string& error) {
    std::string spoolPath;
    if (!RecordSpoolPath(ledger.Station(), ledger.LogPath(), spoolPath, error)) {
        // Every chip is refused with the reason.
        ledger.UseStore(LineRecord::WithoutSpool(url, error));
        return false;
    }
    // In the ledger even when it cannot be used yet: what its spool had to
    // say (lines set aside) is told either way.
    ledger.UseStore(LineRecord::Open(url, spoolPath, workingDir + "/" + kLegacyRecordSpoolName, error));
    return error.empty();
}

}  // namespace otp
