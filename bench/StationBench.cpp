#include "bench/StationBench.h"

#include <iostream>
#include <thread>

#include "bench/StationReport.h"
#include "bench/StationRuns.h"
#include "bench/WorkFolder.h"

namespace otp::bench {

int RunStationBench(const std::vector<int>& writers, int chips) {
    WorkFolder work(OTP_SOURCE_DIR "/examples");
    if (!work.Ok()) {
        std::cerr << "otp-bench: " << work.Error() << "\n";
        return 1;
    }
    std::vector<StationRun> runs;
    bool complete = true;
    for (const bool fast : {false, true})
        for (const int n : writers) {
            runs.push_back(RunStation(n, fast, chips, work));
            complete = complete && runs.back().measured;
        }
    std::cout << "otp-bench: " << std::thread::hardware_concurrency() << " cores; station: " << chips
              << " timed chips per writer, paced writer-emulators, loop auto\n\n";
    PrintStationTable(std::cout, runs);
    std::cout << '\n';
    PrintStationTargets(std::cout, runs);
    if (!complete) {
        work.Keep();
        std::cerr << "otp-bench: some station runs could not be measured; their output is in " << work.Path() << "\n";
    } else {
        bool retried = false;
        for (const StationRun& r : runs) retried = retried || r.failedAttempts > 0;
        if (retried) {
            work.Keep();
            std::cerr << "otp-bench: some station runs were tried again; their output is in " << work.Path() << "\n";
        }
    }
    return complete ? 0 : 1;
}

}  // namespace otp::bench
