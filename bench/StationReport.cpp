#include "bench/StationReport.h"

#include <string>

#include "bench/TextTable.h"

namespace otp::bench {
namespace {

const char* Waits(const StationRun& r) { return r.fast ? "fast" : "fixed"; }

const StationRun* Find(const std::vector<StationRun>& runs, int writers, bool fast) {
    for (const StationRun& r : runs)
        if (r.writers == writers && r.fast == fast && r.measured) return &r;
    return nullptr;
}

// Chips per hour of `r` against `writers` times those of one writer in the
// same mode; 0 when that one was not measured.
double Scale(const std::vector<StationRun>& runs, const StationRun& r) {
    const StationRun* one = Find(runs, 1, r.fast);
    return one && one->ChipsPerHour() > 0 ? r.ChipsPerHour() / (r.writers * one->ChipsPerHour()) : 0;
}

double RunCpuPercent(const StationRun& r) { return r.run.wallMs > 0 ? 100.0 * r.run.cpuMs / r.run.wallMs : 0; }
double TimedCpuPercent(const StationRun& r) { return r.timedMs > 0 ? 100.0 * r.timedCpuMs / r.timedMs : 0; }

}  // namespace

void PrintStationTable(std::ostream& out, const std::vector<StationRun>& runs) {
    std::vector<std::vector<std::string>> cells = {{"writers", "waits", "chips", "round", "chips/h", "/(N x one)",
                                                    "CPU/wall (run)", "CPU (rounds)", "sleeps/s", "peak RSS", "emulators", ""}};
    for (const StationRun& r : runs) {
        const std::string writers = std::to_string(r.writers);
        if (!r.measured) {
            cells.push_back({writers, Waits(r), "-", "-", "-", "-", "-", "-", "-", "-", "-", r.note});
            continue;
        }
        const double scale = Scale(runs, r);
        cells.push_back({writers, Waits(r), std::to_string(r.chipsPassed), Format("%.0f ms", r.timedMs / r.timedRounds),
                         Format("%.0f", r.ChipsPerHour()), scale > 0 ? Format("%.3f", scale) : "-",
                         Format("%.2f %%", RunCpuPercent(r)), Format("%.2f %%", TimedCpuPercent(r)),
                         Format("%.0f", r.run.wallMs > 0 ? 1000.0 * static_cast<double>(r.run.sleeps) / r.run.wallMs : 0),
                         Format("%.1f MB", static_cast<double>(r.run.peakRssKb) / 1024.0),
                         Format("%.1f %%", r.run.wallMs > 0 ? 100.0 * r.emulatorCpuMs / r.run.wallMs : 0), r.note});
    }
    PrintAligned(out, cells);
    out << "chips: passed in the timed rounds, after a first round that is not timed (it starts as the load\n"
           "ends); round and chips/h: from the prompt after the first round to the last verdict, the fresh\n"
           "blank chips put into every emulator before each Enter included. /(N x one): chips/h against N\n"
           "times one writer's in the same mode. CPU/wall (run): user + system of the whole run of\n"
           "otpwriter-cli (start-up and load included, from wait4) as a share of one core over its wall;\n"
           "CPU (rounds): its CPU over the timed rounds alone (/proc, 10 ms ticks). sleeps/s: its voluntary\n"
           "context switches (all threads) per second of the whole run. peak RSS: of the whole run.\n"
           "emulators: the writer-emulators' CPU together, as a share of one core over that wall.\n";
}

void PrintStationTargets(std::ostream& out, const std::vector<StationRun>& runs) {
    out << "Targets: 8 writers >= " << Format("%.1f", 8 * kStationScaleTarget)
        << " x the chips/h of one in both modes; otpwriter-cli with fast waits < "
        << Format("%.0f", kStationCpuTarget8) << " % of one core with 8 writers, < "
        << Format("%.0f", kStationCpuTarget1) << " % with one (CPU/wall (run)).\n";
    for (const bool fast : {false, true}) {
        const StationRun* eight = Find(runs, 8, fast);
        out << "8 writers, " << (fast ? "fast" : "fixed") << " waits: ";
        if (!eight || Scale(runs, *eight) <= 0) {
            out << "not measured\n";
            continue;
        }
        const double scale = Scale(runs, *eight);
        out << Format("%.2f", 8 * scale) << " x one writer, "
            << (scale >= kStationScaleTarget ? "meets" : "misses") << " the target\n";
    }
    const auto cpu = [&](int writers, double target) {
        const StationRun* r = Find(runs, writers, true);
        out << "CPU, " << writers << " writer" << (writers == 1 ? "" : "s") << ", fast waits: ";
        if (!r) {
            out << "not measured\n";
            return;
        }
        out << Format("%.2f %%", RunCpuPercent(*r)) << " of one core, "
            << (RunCpuPercent(*r) < target ? "meets" : "misses") << " the target\n";
    };
    cpu(8, kStationCpuTarget8);
    cpu(1, kStationCpuTarget1);
}

}  // namespace otp::bench
