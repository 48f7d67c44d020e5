#include "bench/Rows.h"

#include <algorithm>

#include "bench/Stats.h"

namespace otp::bench {
namespace {

// The start-up alone, every run of the mode: one before each operation.
std::vector<ChildUsage> StartupRuns(const std::vector<StepRuns>& all) {
    std::vector<ChildUsage> runs;
    for (const StepRuns& step : all)
        for (const Sample& s : step.good) runs.push_back(s.startup);
    return runs;
}

// Median wall and CPU share, and peak RSS, of `runs` into `row`.
void Summarise(const std::vector<ChildUsage>& runs, double baselineMs, Row& row) {
    std::vector<double> wall, cpu;
    for (const ChildUsage& u : runs) {
        wall.push_back(u.wallMs);
        cpu.push_back(100.0 * u.cpuMs / u.wallMs);
        row.peakRssKb = std::max(row.peakRssKb, u.peakRssKb);
    }
    row.measured = !runs.empty();
    row.wallMs = Median(wall) - baselineMs;
    row.cpuPercent = Median(cpu);
}

std::string FailureNote(const StepRuns& runs) {
    if (runs.failed == 0) return {};
    return std::to_string(runs.failed) + " failed run(s), first: " + runs.failureLog;
}

}  // namespace

Row MakeRow(const PlanStep& step, size_t index, const std::string& mode, const Mandated& mandated,
            const std::vector<StepRuns>& all) {
    Row row;
    row.operation = step.operation;
    row.mode = mode;
    const std::vector<ChildUsage> startups = StartupRuns(all);
    if (step.IsStartup()) {
        row.mandatedMs = mandated.startupMs;
        Summarise(startups, 0, row);
    } else {
        // Each run starts up first; the start-up's median is taken off.
        row.mandatedMs = mandated.StepMs();
        std::vector<ChildUsage> runs;
        for (const Sample& s : all[index].good) runs.push_back(s.run);
        std::vector<double> startupWall;
        for (const ChildUsage& u : startups) startupWall.push_back(u.wallMs);
        Summarise(runs, Median(startupWall), row);
    }
    row.note = FailureNote(all[index]);
    if (mandated.status != 0) {
        row.note = "in-process run failed with status " + std::to_string(mandated.status) + " (" +
                   mandated.lastLine + ")" + (row.note.empty() ? "" : "; " + row.note);
        row.measured = false;
    }
    return row;
}

}  // namespace otp::bench
