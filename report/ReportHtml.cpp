#include "report/ReportHtml.h"

#include <algorithm>

#include "report/HtmlText.h"
#include "report/ReportTime.h"
#include "report/SvgChart.h"

namespace otp {
namespace {

const char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#222;max-width:72em}\n"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.6em}\n"
    "table{border-collapse:collapse;margin:.5em 0}\n"
    "th,td{border:1px solid #ccc;padding:.2em .6em;text-align:left;vertical-align:top}\n"
    "th{background:#f0f0f0}td.n,th.n{text-align:right}tr.all td{font-weight:bold}\n"
    "svg.chart{display:block;max-width:100%;height:auto;margin:.5em 0;font-size:11px}\n"
    "svg .grid{stroke:#ddd}svg .axis{stroke:#444}svg text{fill:#222}\n"
    ".passed,.yield{fill:#2e7d32}.failed,.cause{fill:#c62828}.refused{fill:#9e9e9e}\n"
    ".empty{font-size:14px}\n";

std::string Cell(const std::string& text, bool number = false) {
    return std::string(number ? "<td class=\"n\">" : "<td>") + EscapeHtml(text) + "</td>";
}

std::string Head(const std::vector<std::string>& names, size_t leftColumns) {
    std::string html = "<tr>";
    for (size_t i = 0; i < names.size(); ++i)
        html += std::string(i < leftColumns ? "<th>" : "<th class=\"n\">") + EscapeHtml(names[i]) + "</th>";
    return html + "</tr>\n";
}

std::string CountCells(const Tally& t) {
    return Cell(std::to_string(t.Chips()), true) + Cell(std::to_string(t.passed), true) +
           Cell(std::to_string(t.failed), true) + Cell(std::to_string(t.refused), true) + Cell(YieldText(t), true);
}

std::string Table(const FigureTable& table, const Tally& all) {
    std::vector<std::string> names = table.keyColumns;
    for (const char* n : {"chips", "passed", "failed", "refused", "yield"}) names.push_back(n);
    std::string html = "<table>\n" + Head(names, table.keyColumns.size());
    for (const FigureRow& row : table.rows) {
        html += "<tr>";
        for (const std::string& k : row.key) html += Cell(k);
        html += CountCells(row.tally) + "</tr>\n";
    }
    html += "<tr class=\"all\">" + Cell("all");
    for (size_t i = 1; i < table.keyColumns.size(); ++i) html += Cell("");
    return html + CountCells(all) + "</tr>\n</table>\n";
}

std::string YieldChart(const Figures& f) {
    Chart chart{"yield-per-hour", "Yield per hour", {}, 100, " %", {}, "no chips"};
    for (const FigureRow& row : f.byHour.rows) {
        Bar bar{row.key[0], {}};
        if (row.tally.Chips() > 0)
            bar.parts.push_back({100.0 * row.tally.passed / row.tally.Chips(), "yield",
                                 row.key[0] + ": yield " + YieldText(row.tally) + " (" + std::to_string(row.tally.passed) +
                                     " of " + std::to_string(row.tally.Chips()) + " passed)"});
        chart.bars.push_back(bar);
    }
    return ColumnChart(chart);
}

std::string WriterChart(const Figures& f) {
    Chart chart{"chips-per-writer", "Chips per writer", {}, 0, "", {}, "no chips"};
    chart.keys = {{"passed", "passed"}, {"failed", "failed"}, {"refused", "refused"}};
    for (const FigureRow& row : f.byWriter.rows) {
        const std::string name = row.key[0] + " " + row.key[1];
        const auto part = [&](int n, const char* kind) {
            return BarPart{static_cast<double>(n), kind, name + ": " + kind + " " + std::to_string(n)};
        };
        chart.bars.push_back({name, {part(row.tally.passed, "passed"), part(row.tally.failed, "failed"),
                                     part(row.tally.refused, "refused")}});
    }
    return ColumnChart(chart);
}

std::string CauseChart(const Figures& f) {
    Chart chart{"failures-by-cause", "Failures by cause", {}, 0, "", {}, f.Empty() ? "no chips" : "no failures"};
    for (const CauseRow& c : f.causes)
        chart.bars.push_back({c.cause, {{static_cast<double>(c.chips), "cause", c.cause + ": " + std::to_string(c.chips)}}});
    return RowChart(chart);
}

std::string Duplicates(const Figures& f) {
    std::string html = "<h2>Rolling codes held by more than one chip</h2>\n";
    if (f.duplicates.empty()) return html + "<p>None.</p>\n";
    html += "<table>\n" + Head({"code", "station", "writer", "chip", "time", "verdict"}, 6);
    for (const DuplicateCode& d : f.duplicates) {
        for (size_t i = 0; i < d.holders.size(); ++i) {
            const CodeHolder& h = d.holders[i];
            html += "<tr>";
            if (i == 0) html += "<td rowspan=\"" + std::to_string(d.holders.size()) + "\">" + EscapeHtml(d.code) + "</td>";
            html += Cell(h.station) + Cell(h.writer) + Cell(std::to_string(h.chip)) + Cell(IsoLocalTime(h.when)) +
                    Cell(VerdictWord(h.verdict)) + "</tr>\n";
        }
    }
    return html + "</table>\n";
}

}  // namespace

std::string ReportHtml(const Figures& f, const ReportHeading& heading) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>Production report</title>\n<style>\n" +
                       std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Production report</h1>\n<p>Sources: ";
    for (size_t i = 0; i < heading.sources.size(); ++i) html += (i ? ", " : "") + EscapeHtml(heading.sources[i]);
    html += "</p>\n";
    if (!heading.from.empty() || !heading.to.empty())
        html += "<p>Window: " + EscapeHtml(heading.from.empty() ? "the first record" : heading.from) + " to " +
                EscapeHtml(heading.to.empty() ? "the last record" : heading.to + " (not included)") + "</p>\n";
    if (!heading.rowsLeftOut.empty()) {
        html += "<p>Rows left out: " + std::to_string(heading.rowsLeftOut.size()) + "</p>\n<ul class=\"left-out\">\n";
        // The first few say what is wrong; the rest are like them.
        const size_t shown = std::min<size_t>(heading.rowsLeftOut.size(), 20);
        for (size_t i = 0; i < shown; ++i) html += "<li>" + EscapeHtml(heading.rowsLeftOut[i]) + "</li>\n";
        if (shown < heading.rowsLeftOut.size())
            html += "<li>and " + std::to_string(heading.rowsLeftOut.size() - shown) + " more</li>\n";
        html += "</ul>\n";
    }
    if (f.Empty()) html += "<p class=\"summary\">No chips.</p>\n";
    else
        html += "<p class=\"summary\">Chips: " + std::to_string(f.all.Chips()) + " (" + EscapeHtml(f.all.Summary()) +
                "), " + EscapeHtml(LocalMinute(f.first)) + " to " + EscapeHtml(LocalMinute(f.last)) + "</p>\n";
    // Each chart above the table of its figures; with no chips, the charts alone.
    const auto table = [&](const FigureTable& t) { return f.Empty() ? std::string() : Table(t, f.all); };
    const auto titled = [&](const FigureTable& t) {
        return f.Empty() ? std::string() : "<h2>" + EscapeHtml(t.title) + "</h2>\n" + Table(t, f.all);
    };
    html += "<h2>Yield per hour</h2>\n" + YieldChart(f) + table(f.byHour);
    html += titled(f.byStation);
    html += "<h2>Chips per writer</h2>\n" + WriterChart(f) + table(f.byWriter);
    html += titled(f.byBody) + titled(f.byLot) + titled(f.byOperator);
    if (!f.byJob.rows.empty()) html += titled(f.byJob);
    html += "<h2>Failures by cause</h2>\n" + CauseChart(f);
    if (!f.causes.empty()) {
        html += "<table>\n" + Head({"cause", "chips"}, 1);
        for (const CauseRow& c : f.causes) html += "<tr>" + Cell(c.cause) + Cell(std::to_string(c.chips), true) + "</tr>\n";
        html += "</table>\n";
    }
    if (!f.Empty()) html += Duplicates(f);
    return html + "</body>\n</html>\n";
}

}  // namespace otp
