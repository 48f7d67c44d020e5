// otp-bench: times every operation of the console front end against
// writer-emulator on a pty, paced and unpaced, next to the time the host's
// protocol mandates for it; and the window's peak memory.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/PtyRuns.h"
#include "bench/MandatedTimes.h"
#include "bench/Plan.h"
#include "bench/Report.h"
#include "bench/Rows.h"
#include "bench/StationBench.h"
#include "bench/WindowMemory.h"
#include "bench/WorkFolder.h"

namespace {

using namespace otp::bench;

const char kUsage[] =
    "Usage: otp-bench [--repeat N] [--no-window]\n"
    "       otp-bench --station [--chips N] [--writers LIST]\n"
    "Runs every operation of otpwriter-cli against writer-emulator on a pty, paced\n"
    "(9600-baud line time), with --no-pacing, and paced with otpwriter-cli --fast\n"
    "(mode fast), and prints per operation the time\n"
    "the host's protocol mandates, the wall time, their ratio, the CPU time of\n"
    "otpwriter-cli as a share of wall and its peak RSS; then the peak RSS of the\n"
    "window (otpwriter --demo) under Xvfb. A second table sets the fast waits\n"
    "beside the fixed ones.\n"
    "\n"
    "An operation's time is the run of otpwriter-cli with that step less the\n"
    "median run of the start-up alone (the front end always starts up first);\n"
    "the start-up alone runs once before each operation. A failed run is tried\n"
    "again, at most twice per operation, and counted in the table.\n"
    "\n"
    "  --repeat N    run each operation N times and take the median (default 1)\n"
    "  --no-window   leave out the window\n"
    "\n"
    "--station runs a station instead: otpwriter-cli --writers COM1,...,COMn\n"
    "load, then loop auto against n paced writer-emulators (one pty each), with\n"
    "fixed and with fast waits; before each round the bench puts a fresh blank\n"
    "chip into every emulator, then answers the prompt. Per writer count and mode\n"
    "it prints chips per hour over the timed rounds (a first round, started by\n"
    "the load's end, is not timed), their ratio to n times one writer's, and the\n"
    "CPU and peak RSS of otpwriter-cli.\n"
    "\n"
    "  --chips N      timed chips per writer (default 20)\n"
    "  --writers LIST writer counts, comma-separated (default 1,2,4,8)\n";

struct Options {
    int repeat = 1;
    bool window = true;
    bool station = false;
    int chips = 20;
    std::vector<int> writers = {1, 2, 4, 8};
};

// "1,2,4,8": counts from 1 to 256 (the ports COM1 to COM256).
bool ParseCounts(const std::string& text, std::vector<int>& counts) {
    counts.clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos || item.size() > 3) return false;
        const int n = std::stoi(item);
        if (n < 1 || n > 256) return false;
        counts.push_back(n);
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

// Returns 0 to go on, else the exit status + 1.
int ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 1;
        }
        if (a == "--no-window") {
            o.window = false;
        } else if (a == "--station") {
            o.station = true;
        } else if (a == "--chips" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            o.chips = std::atoi(argv[++i]);
        } else if (a == "--writers" && i + 1 < argc && ParseCounts(argv[i + 1], o.writers)) {
            ++i;
        } else if (a == "--repeat" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            o.repeat = std::atoi(argv[++i]);
        } else {
            std::cerr << "otp-bench: bad argument " << a << "\n" << kUsage;
            return 3;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int parsed = ParseArgs(argc, argv, o)) return parsed - 1;
    // A child that ended early must not end the bench with a write to its pipe.
    signal(SIGPIPE, SIG_IGN);
    if (o.station) return RunStationBench(o.writers, o.chips);

    WorkFolder work(OTP_SOURCE_DIR "/examples");
    if (!work.Ok()) {
        std::cerr << "otp-bench: " << work.Error() << "\n";
        return 1;
    }
    const std::vector<PlanStep>& plan = BenchPlan();

    std::cerr << "otp-bench: mandated times, in process on the virtual clock" << std::endl;
    const std::vector<Mandated> mandated = MandatedTimes(plan, work.Path());
    // The start-up is subtracted from every run on the pty, so it must
    // mandate the same in every state the plan leaves the writer in.
    bool sameStartup = true;
    for (const Mandated& m : mandated) sameStartup = sameStartup && m.startupMs == mandated.front().startupMs;

    // "fast": the paced line, otpwriter-cli with --fast.
    const std::vector<std::string> modes = {"paced", "no-pacing", "fast"};
    std::vector<std::vector<StepRuns>> byMode;
    bool anyFailed = false;
    for (const std::string& mode : modes) {
        std::string error;
        byMode.push_back(RunPlanOnPty(plan, mode != "no-pacing", mode == "fast", o.repeat, work, error));
        if (byMode.back().empty()) {
            std::cerr << "otp-bench: " << mode << ": " << error << "\n";
            work.Keep();
            return 1;
        }
        for (const StepRuns& runs : byMode.back()) anyFailed = anyFailed || runs.failed > 0;
    }
    std::vector<Row> rows;
    for (size_t i = 0; i < plan.size(); ++i)
        for (size_t m = 0; m < modes.size(); ++m) rows.push_back(MakeRow(plan[i], i, modes[m], mandated[i], byMode[m]));
    const bool complete = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.measured; });

    WindowMemory window;
    window.note = "left out (--no-window)";
    if (o.window) {
        std::cerr << "otp-bench: window" << std::endl;
        const int settleMs = static_cast<int>(mandated.front().startupMs) + 3000;
        window = MeasureWindow(OTP_BINARY_DIR "/otpwriter", OTP_SOURCE_DIR "/examples", settleMs,
                               work.File("window.log"));
    }

    std::cout << "otp-bench: " << std::thread::hardware_concurrency() << " cores, median of " << o.repeat
              << " run(s) per operation\n\n";
    PrintTable(std::cout, rows);
    std::cout << '\n';
    PrintFastWaits(std::cout, rows);
    std::cout << '\n';
    PrintWindow(std::cout, window);
    PrintTargets(std::cout, rows, window);
    if (!sameStartup)
        std::cout << "Note: the start-up mandates different times in different writer states; the operations' "
                     "times are off by the difference\n";

    if (anyFailed || !complete) {
        work.Keep();
        std::cerr << "otp-bench: some runs failed; their output is in " << work.Path() << "\n";
    }
    return complete ? 0 : 1;
}
