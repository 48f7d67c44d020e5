#include "report/ReportFigures.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "report/ReportTime.h"

namespace otp {
namespace {

std::string OrUnknown(const std::string& name) { return name.empty() ? kUnknown : name; }
// A body, lot or operator the record leaves empty.
std::string OrNone(const std::string& name) { return name.empty() ? "(none)" : name; }

bool Counted(Verdict v) { return v == Verdict::Fail || v == Verdict::NoWriter; }

// A word that tells one chip's failure from another's rather than the kind
// of failure: a port ("COM3"), a chip number, a rolling-code word ("FFFF").
bool ParticularWord(const std::string& word) {
    if (word.find_first_of("0123456789") != std::string::npos) return true;
    return word.size() == 4 && word.find_first_not_of("ABCDEF") == std::string::npos;
}

using Groups = std::map<std::vector<std::string>, Tally>;

FigureTable Table(std::string title, std::vector<std::string> keyColumns, const Groups& groups) {
    FigureTable table{std::move(title), std::move(keyColumns), {}};
    for (const auto& [key, tally] : groups) table.rows.push_back({key, tally});
    return table;
}

}  // namespace

std::string FailureCause(const std::string& failure, Verdict verdict) {
    std::istringstream words(failure.substr(0, failure.find_first_of(":(;,")));
    std::string cause;
    for (std::string word; words >> word;)
        if (!ParticularWord(word)) cause += (cause.empty() ? "" : " ") + word;
    const size_t end = cause.find_last_not_of(" !");
    cause.erase(end == std::string::npos ? 0 : end + 1);
    const size_t start = cause.find_first_not_of(" !");
    cause.erase(0, start == std::string::npos ? cause.size() : start);
    return cause.empty() ? VerdictWord(verdict) : cause;
}

std::string YieldText(const Tally& t) {
    if (t.Chips() == 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * t.passed / t.Chips());
    return text;
}

Figures CountFigures(const std::vector<Chip>& chips, const std::map<std::string, OrderCount>& orders) {
    Figures f;
    Groups hours, stations, writers, bodies, lots, operators, jobs;
    std::map<std::string, int> causes;
    std::map<std::string, std::vector<CodeHolder>> codes;
    bool any = false;
    for (const Chip& c : chips) {
        f.first = any ? std::min(f.first, c.when) : c.when;
        f.last = any ? std::max(f.last, c.when) : c.when;
        any = true;
        const std::string station = OrUnknown(c.station), writer = OrUnknown(c.writer);
        for (Tally* t : {&f.all, &hours[{LocalHour(c.when)}], &stations[{station}], &writers[{station, writer}],
                         &bodies[{OrNone(c.body)}], &lots[{OrNone(c.lot)}], &operators[{OrNone(c.operatorName)}]})
            t->Add(c.verdict);
        if (!c.jobId.empty()) jobs[{OrNone(c.job), c.jobId}].Add(c.verdict);
        if (Counted(c.verdict)) ++causes[FailureCause(c.failure, c.verdict)];
        for (const std::string& code : c.rollingCodes) codes[code].push_back({station, writer, c.number, c.when, c.verdict});
    }
    f.byHour = Table("By hour", {"hour"}, hours);
    f.byStation = Table("By station", {"station"}, stations);
    f.byWriter = Table("By writer", {"station", "writer"}, writers);
    f.byBody = Table("By body", {"body"}, bodies);
    f.byLot = Table("By lot", {"lot"}, lots);
    f.byOperator = Table("By operator", {"operator"}, operators);
    f.byJob = Table("By job", {"job", "id", "order"}, jobs);
    // The order as the record counts it: every station, every run, any time.
    for (FigureRow& row : f.byJob.rows) {
        const auto order = orders.find(row.key[1]);
        row.key.push_back(order == orders.end() ? "-"
                                                : std::to_string(order->second.passed) + " of " +
                                                      std::to_string(order->second.quantity));
    }
    for (const auto& [cause, chips] : causes) f.causes.push_back({cause, chips});
    std::stable_sort(f.causes.begin(), f.causes.end(),
                     [](const CauseRow& a, const CauseRow& b) { return a.chips > b.chips; });
    for (auto& [code, holders] : codes) {
        if (holders.size() < 2) continue;
        std::stable_sort(holders.begin(), holders.end(),
                         [](const CodeHolder& a, const CodeHolder& b) { return a.when < b.when; });
        f.duplicates.push_back({code, holders});
    }
    return f;
}

}  // namespace otp
