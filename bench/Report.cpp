#include "bench/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/TextTable.h"

namespace otp::bench {
namespace {

// Rounded as printed, so that a row listed above a target shows a figure above it.
double Ratio(const Row& r) {
    return r.mandatedMs > 0 ? std::round(1000.0 * r.wallMs / static_cast<double>(r.mandatedMs)) / 1000.0 : 0.0;
}
double Mb(long kb) { return static_cast<double>(kb) / 1024.0; }

}  // namespace

void PrintTable(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<std::vector<std::string>> cells = {
        {"operation", "mode", "mandated", "wall", "wall/mandated", "CPU/wall (run)", "peak RSS (run)", ""}};
    for (const Row& r : rows) {
        if (!r.measured) {
            cells.push_back({r.operation, r.mode, Format("%.0f ms", static_cast<double>(r.mandatedMs)), "-", "-", "-",
                             "-", r.note});
            continue;
        }
        cells.push_back({r.operation, r.mode, Format("%.0f ms", static_cast<double>(r.mandatedMs)),
                         Format("%.0f ms", r.wallMs), Format("%.3f", Ratio(r)), Format("%.2f %%", r.cpuPercent),
                         Format("%.1f MB", Mb(r.peakRssKb)), r.note});
    }
    PrintAligned(out, cells);
    out << "mandated: the pauses and waits the host asks for, summed on the virtual clock in process.\n"
           "wall: the run of otpwriter-cli with the operation less the median run of the start-up alone\n"
           "(run once before each operation); the start-up rows are the start-up alone. CPU (user +\n"
           "system) and peak RSS are those of the whole run of otpwriter-cli, start-up included.\n";
}

void PrintFastWaits(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<std::vector<std::string>> cells = {
        {"operation", "", "mandated", "fixed waits", "/mandated", "fast waits", "/mandated", "fast/fixed"}};
    for (const Row& fixed : rows) {
        if (fixed.mode != "paced") continue;
        const auto fast = std::find_if(rows.begin(), rows.end(), [&](const Row& r) {
            return r.mode == "fast" && r.operation == fixed.operation;
        });
        if (fast == rows.end() || !fixed.measured || !fast->measured) {
            cells.push_back({fixed.operation, "", Format("%.0f ms", static_cast<double>(fixed.mandatedMs)), "-", "-",
                             "-", "-", "-"});
            continue;
        }
        cells.push_back({fixed.operation, "", Format("%.0f ms", static_cast<double>(fixed.mandatedMs)),
                         Format("%.0f ms", fixed.wallMs), Format("%.3f", Ratio(fixed)), Format("%.0f ms", fast->wallMs),
                         Format("%.3f", Ratio(*fast)),
                         Format("%.2f", fixed.wallMs > 0 ? fast->wallMs / fixed.wallMs : 0.0)});
    }
    out << "Fast waits (otpwriter-cli --fast) against the fixed ones, both on the paced line:\n";
    PrintAligned(out, cells);
}

void PrintWindow(std::ostream& out, const WindowMemory& window) {
    if (window.measured)
        out << "window (otpwriter --demo under Xvfb, after its start-up): peak RSS "
            << Format("%.1f MB", Mb(window.peakRssKb)) << '\n';
    else
        out << "window: not measured, " << window.note << '\n';
}

void PrintTargets(std::ostream& out, const std::vector<Row>& rows, const WindowMemory& window) {
    out << "Targets: wall <= " << Format("%.2f", kWallRatioTarget)
        << " x mandated where the line is not the bottleneck; CPU <= " << Format("%.0f", kCpuShareTarget)
        << " % of wall; window < " << Format("%.0f", kWindowTargetMb) << " MB.\n";
    std::string slow, busy;
    for (const Row& r : rows) {
        if (!r.measured) continue;
        const std::string name = r.operation + " " + r.mode;
        // Fast waits end before the mandated time by design.
        if (r.mode != "fast" && Ratio(r) > kWallRatioTarget) slow += (slow.empty() ? "" : ", ") + name + Format(" (%.3f)", Ratio(r));
        if (r.cpuPercent > kCpuShareTarget) busy += (busy.empty() ? "" : ", ") + name + Format(" (%.2f %%)", r.cpuPercent);
    }
    out << "Above the wall target: " << (slow.empty() ? "none" : slow) << '\n';
    out << "Above the CPU target: " << (busy.empty() ? "none" : busy) << '\n';
    if (window.measured)
        out << "Window: " << Format("%.1f MB", Mb(window.peakRssKb)) << ", "
            << (Mb(window.peakRssKb) < kWindowTargetMb ? "within" : "above") << " its target\n";
}

}  // namespace otp::bench
