#pragma once
// The counting of a report: chips, passed, failed, refused and yield by
// hour, station, writer, body, lot, operator and production job; failures by cause; rolling
// codes held by more than one chip. A chip counts as the console's tally
// counts it: a refused one apart (it never lowers the yield), one whose
// writer did not answer as failed.
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/ProductionJob.h"
#include "production/Tally.h"
#include "report/ReportChips.h"
#include "report/ReportTime.h"

namespace otp {

struct FigureRow {
    std::vector<std::string> key;  // one field per key column
    Tally tally;
};

struct FigureTable {
    std::string title;
    std::vector<std::string> keyColumns;
    std::vector<FigureRow> rows;  // in the order of their keys
};

struct CauseRow {
    std::string cause;
    int chips = 0;
};

struct CodeHolder {
    std::string station, writer;
    int chip = 0;
    std::time_t when = 0;
    Verdict verdict = Verdict::Pass;
};

struct DuplicateCode {
    std::string code;
    std::vector<CodeHolder> holders;  // earliest first
};

struct Figures {
    Tally all;
    std::time_t first = 0, last = 0;  // the times of the earliest and latest chip
    FigureTable byHour, byStation, byWriter, byBody, byLot, byOperator;
    FigureTable byJob;  // with the order's progress in the record ("8 of 10"); no rows when no chip was of a job
    std::vector<CauseRow> causes;  // the most chips first
    std::vector<DuplicateCode> duplicates;
    bool Empty() const { return all.passed + all.failed + all.refused == 0; }
};

// `orders`: the jobs' orders the record holds, by job id, for the job table's
// order column ("-" for a job of none).
Figures CountFigures(const std::vector<Chip>& chips, const std::map<std::string, OrderCount>& orders = {});

// A failed chip's cause: its failure text before the first ':', '(', ';' or
// ',' (what follows names the particulars of that chip), without the words
// that hold a digit (a port, a code, a chip number) and without blanks and
// '!' at its ends; the verdict's word when nothing is left.
std::string FailureCause(const std::string& failure, Verdict verdict);

// "75.0 %"; "-" with no chip passed or failed.
std::string YieldText(const Tally& t);

// A station or writer the record does not name.
inline constexpr char kUnknown[] = "unknown";

}  // namespace otp
