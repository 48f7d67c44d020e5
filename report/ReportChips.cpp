#include "report/ReportChips.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "production/LogHistory.h"

namespace otp {
namespace {

bool Failing(Verdict v) { return v == Verdict::Fail || v == Verdict::NoWriter; }

// The records to count: each record once, however many sources hold it.
std::vector<const SourceRow*> RecordsOnce(const std::vector<SourceRow>& rows) {
    // A record is its run, writer, chip, start and operation, and which of
    // the source's records with these it is (a step done twice in a second).
    using Key = std::tuple<std::string, std::string, int, std::time_t, std::string>;
    std::map<std::pair<size_t, Key>, int> seenInSource;
    std::map<std::pair<Key, int>, size_t> taken;
    std::vector<const SourceRow*> once;
    for (const SourceRow& row : rows) {
        const ChipRecord& r = row.record;
        // Logs older than the run column cannot be told apart from another
        // source's: each of their records counts.
        if (r.run.empty()) {
            once.push_back(&row);
            continue;
        }
        const Key key{r.run, r.writer, r.chip, r.when, r.operation};
        const int nth = seenInSource[{row.source, key}]++;
        const auto [at, first] = taken.emplace(std::make_pair(key, nth), once.size());
        if (first) {
            once.push_back(&row);
        } else if (row.served && !once[at->second]->served) {
            // The record server's verdict stands over the log's: a record the
            // station kept in its spool while the server was away is judged
            // when it arrives, and fails there if another station passed its
            // rolling code meanwhile; the log's line, written when the chip
            // ended, still says pass.
            once[at->second] = &row;
        }
    }
    return once;
}

}  // namespace

std::vector<Chip> ChipsOf(const std::vector<SourceRow>& rows) {
    std::vector<const SourceRow*> records = RecordsOnce(rows);
    std::stable_sort(records.begin(), records.end(),
                     [](const SourceRow* a, const SourceRow* b) { return a->record.when < b->record.when; });
    // A chip is its station, run, writer and number; a record of a log
    // without runs is one of that log's own.
    using Key = std::tuple<std::string, std::string, std::string, int, size_t>;
    std::map<Key, size_t> chipAt;
    std::vector<Chip> chips;
    std::vector<bool> lastRefused;
    for (const SourceRow* row : records) {
        const ChipRecord& r = row->record;
        const Key key{r.station, r.run, r.writer, r.chip, r.run.empty() ? row->source + 1 : 0};
        const auto [at, first] = chipAt.emplace(key, chips.size());
        if (first) {
            Chip chip;
            chip.station = r.station;
            chip.writer = r.writer;
            chip.run = r.run;
            chip.number = r.chip;
            chip.when = r.when;
            chip.body = r.body;
            chip.lot = r.lot;
            chip.operatorName = r.operatorName;
            chip.job = r.job;
            chip.jobId = r.jobId;
            chips.push_back(std::move(chip));
            lastRefused.push_back(false);
        }
        Chip& chip = chips[at->second];
        if (Failing(r.verdict) && !Failing(chip.verdict)) {
            chip.verdict = r.verdict;
            chip.failure = r.failure;
        }
        lastRefused[at->second] = r.verdict == Verdict::Refused;
        if (IsRollingCode(r.rollingCode) &&
            std::find(chip.rollingCodes.begin(), chip.rollingCodes.end(), r.rollingCode) == chip.rollingCodes.end())
            chip.rollingCodes.push_back(r.rollingCode);
    }
    // A refused step touched nothing, but one that no later step made up for
    // left the chip unfinished: the console's chip loop stops a chip at its
    // refused step and counts it refused, never passed. A chip whose every
    // record was refused is refused too.
    for (size_t i = 0; i < chips.size(); ++i)
        if (!Failing(chips[i].verdict) && lastRefused[i]) chips[i].verdict = Verdict::Refused;
    return chips;
}

}  // namespace otp
