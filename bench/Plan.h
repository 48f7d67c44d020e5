#pragma once
// What the benchmark runs: every operation of the console front end, each
// after the socket state it needs. The same plan drives the in-process run
// on the virtual clock and the runs of the built programs on a pty.
#include <string>
#include <vector>

namespace otp::bench {

struct PlanStep {
    std::string operation;  // the table's name for it
    std::string icBefore;   // what to put into the socket first; empty: leave it
    std::vector<std::string> cliArgs;  // the steps after the start-up; empty: the start-up alone
    bool IsStartup() const { return cliArgs.empty(); }
};

// Start-up first, update last (it rewrites the writer's firmware).
const std::vector<PlanStep>& BenchPlan();

// The files the plan needs in its working folder.
inline constexpr const char* kRomFile = "demo-rx4400.rom";
inline constexpr const char* kFirmwareFile = "WRITER.BIN";

}  // namespace otp::bench
