#include "report/ReportText.h"

#include <algorithm>

#include "report/ReportTime.h"

namespace otp {
namespace {

// A field of a log on one line of the table: line breaks and tabs in it
// would break the columns.
std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return line;
}

// The columns a terminal gives the text (UTF-8: a character's further bytes
// take none).
size_t Width(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(),
                                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Rows of cells, the first `leftColumns` left-aligned, the others right.
void WriteColumns(const std::vector<std::vector<std::string>>& rows, size_t leftColumns, std::ostream& out) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], Width(row[i]));
        }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - Width(row[i]), ' ');
            line += (i ? "  " : "") + (i < leftColumns ? row[i] + pad : pad + row[i]);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << "\n";
    }
}

std::vector<std::string> Counts(const Tally& t) {
    return {std::to_string(t.Chips()), std::to_string(t.passed), std::to_string(t.failed),
            std::to_string(t.refused), YieldText(t)};
}

void WriteTable(const FigureTable& table, const Tally& all, std::ostream& out) {
    out << "\n" << table.title << "\n";
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> head = table.keyColumns;
    for (const char* name : {"chips", "passed", "failed", "refused", "yield"}) head.push_back(name);
    rows.push_back(head);
    for (const FigureRow& row : table.rows) {
        std::vector<std::string> cells;
        for (const std::string& k : row.key) cells.push_back(OneLine(k));
        for (const std::string& n : Counts(row.tally)) cells.push_back(n);
        rows.push_back(cells);
    }
    std::vector<std::string> total(table.keyColumns.size(), "");
    total[0] = "all";
    for (const std::string& n : Counts(all)) total.push_back(n);
    rows.push_back(total);
    WriteColumns(rows, table.keyColumns.size(), out);
}

}  // namespace

void WriteReportText(const Figures& f, const ReportHeading& heading, std::ostream& out) {
    out << "Production report of";
    for (size_t i = 0; i < heading.sources.size(); ++i) out << (i ? ", " : " ") << OneLine(heading.sources[i]);
    out << "\n";
    if (!heading.from.empty() || !heading.to.empty())
        out << "Window: " << (heading.from.empty() ? "the first record" : heading.from) << " to "
            << (heading.to.empty() ? "the last record" : heading.to + " (not included)") << "\n";
    if (!heading.rowsLeftOut.empty())
        out << "Rows left out: " << heading.rowsLeftOut.size() << " (the warnings name them)\n";
    if (f.Empty()) {
        out << "No chips.\n";
        return;
    }
    out << "Chips: " << f.all.Chips() << " (" << f.all.Summary() << "), " << LocalMinute(f.first) << " to "
        << LocalMinute(f.last) << "\n";
    for (const FigureTable* table : {&f.byHour, &f.byStation, &f.byWriter, &f.byBody, &f.byLot, &f.byOperator})
        WriteTable(*table, f.all, out);
    if (!f.byJob.rows.empty()) WriteTable(f.byJob, f.all, out);

    out << "\nFailures by cause\n";
    if (f.causes.empty()) {
        out << "none\n";
    } else {
        std::vector<std::vector<std::string>> rows{{"cause", "chips"}};
        for (const CauseRow& c : f.causes) rows.push_back({OneLine(c.cause), std::to_string(c.chips)});
        WriteColumns(rows, 1, out);
    }

    out << "\nRolling codes held by more than one chip\n";
    if (f.duplicates.empty()) {
        out << "none\n";
        return;
    }
    std::vector<std::vector<std::string>> rows{{"code", "station", "writer", "chip", "time", "verdict"}};
    for (const DuplicateCode& d : f.duplicates)
        for (size_t i = 0; i < d.holders.size(); ++i) {
            const CodeHolder& h = d.holders[i];
            rows.push_back({i == 0 ? OneLine(d.code) : "", OneLine(h.station), OneLine(h.writer),
                            std::to_string(h.chip), IsoLocalTime(h.when), VerdictWord(h.verdict)});
        }
    WriteColumns(rows, 6, out);
}

}  // namespace otp
