#include "bench/MandatedTimes.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "cli/CliRunner.h"
#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "link/Pacer.h"

namespace otp::bench {
namespace {

std::string LastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::string line = text.substr(text.rfind('\n') + 1);  // the whole text when it has one line
    return line.substr(std::min(line.find_first_not_of(' '), line.size()));
}

class InProcessWriter {
public:
    explicit InProcessWriter(std::string workingDir) : dir_(std::move(workingDir)) {}

    void PutIc(const std::string& kind) {
        if (const auto k = emu::ParseIcKind(kind)) emu::PutInSocket(opener_->Writer(), *k);
    }

    // The clock's advance over one run of the front end.
    int64_t Run(const std::vector<std::string>& args, int& status, std::string& lastLine) {
        std::ostringstream out, err;
        CliEnvironment env{out, err, dir_};
        env.opener = opener_.get();
        env.pacer = &pacer_;
        const int64_t start = pacer_.NowMs();
        status = RunCli(args, env);
        lastLine = LastLine(err.str().empty() ? out.str() : err.str());
        return pacer_.NowMs() - start;
    }

private:
    std::string dir_;
    VirtualPacer pacer_;
    std::unique_ptr<emu::EmulatedPortOpener> opener_ = emu::MakeDemoOpener(pacer_);
};

}  // namespace

std::vector<Mandated> MandatedTimes(const std::vector<PlanStep>& plan, const std::string& workingDir) {
    InProcessWriter writer(workingDir);
    std::vector<Mandated> times;
    for (const PlanStep& step : plan) {
        if (!step.icBefore.empty()) writer.PutIc(step.icBefore);
        Mandated m;
        // The start-up reads the writer's memory only, so running it alone
        // first leaves the state the step finds as it was.
        m.startupMs = writer.Run({}, m.status, m.lastLine);
        m.runMs = m.startupMs;
        if (!step.IsStartup() && m.status == 0) m.runMs = writer.Run(step.cliArgs, m.status, m.lastLine);
        times.push_back(m);
    }
    return times;
}

}  // namespace otp::bench
