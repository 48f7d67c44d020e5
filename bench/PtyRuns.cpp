#include "bench/PtyRuns.h"

#include <algorithm>
#include <iostream>

#include "bench/EmulatorProcess.h"

namespace otp::bench {
namespace {

class CliRunner {
public:
    CliRunner(const WorkFolder& work, std::string link, std::string mode, bool fast)
        : work_(work), link_(std::move(link)), mode_(std::move(mode)), fast_(fast) {}

    // One run of otpwriter-cli; `log` is where its output went.
    ChildUsage Run(const PlanStep& step, std::vector<std::string> args, std::string& log) {
        log = work_.File(mode_ + "-" + step.operation + "-" + std::to_string(++count_) + ".log");
        if (fast_) args.insert(args.begin(), "--fast");
        return RunChild({OTP_BINARY_DIR "/otpwriter-cli", args, work_.Path(), {{"OTPWRITER_COM1", link_}}, log});
    }

private:
    const WorkFolder& work_;
    std::string link_;
    std::string mode_;
    bool fast_;
    int count_ = 0;
};

}  // namespace

std::vector<StepRuns> RunPlanOnPty(const std::vector<PlanStep>& plan, bool pacing, bool fast, int repeat,
                                   const WorkFolder& work, std::string& error) {
    const std::string mode = std::string(pacing ? "paced" : "no-pacing") + (fast ? "-fast" : "");
    const std::string link = work.File("writer-tty");
    std::vector<StepRuns> all(plan.size());
    EmulatorProcess emulator;
    if (!emulator.Start(OTP_BINARY_DIR "/writer-emulator", link, pacing, work.File(mode + "-emulator.log"), error))
        return {};
    CliRunner cli(work, link, mode, fast);
    for (size_t i = 0; i < plan.size(); ++i) {
        const PlanStep& step = plan[i];
        StepRuns& runs = all[i];
        const int wanted = step.IsStartup() ? std::max(3, repeat) : repeat;
        std::cerr << "otp-bench: " << mode << " " << step.operation << std::endl;
        for (int attempt = 0; attempt < wanted + 2 && static_cast<int>(runs.good.size()) < wanted; ++attempt) {
            if (!step.icBefore.empty() && !emulator.PutIc(step.icBefore)) {
                error = "writer-emulator took no \"ic " + step.icBefore + "\"";
                return {};
            }
            Sample sample;
            std::string log;
            sample.startup = cli.Run(step, {}, log);
            if (sample.startup.status == 0 && !step.IsStartup()) sample.run = cli.Run(step, step.cliArgs, log);
            const bool good = sample.startup.status == 0 && (step.IsStartup() || sample.run.status == 0);
            if (good) {
                runs.good.push_back(sample);
            } else {
                if (runs.failed++ == 0) runs.failureLog = log;
            }
        }
    }
    emulator.Stop();
    return all;
}

}  // namespace otp::bench
