#include "bench/StationRuns.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <vector>

#include "bench/EmulatorProcess.h"
#include "bench/Plan.h"
#include "bench/ProcessCpu.h"
#include "bench/TimedLines.h"

namespace otp::bench {
namespace {

using Clock = TimedLines::Clock;

// otpwriter-cli's question after each round, on stderr without a line end:
// "Put the next chips in the sockets ..." with several writers, "Put the
// next chip in the socket ..." with one (the plain chip loop).
constexpr const char* kPrompt = "Put the next chip";
// A round takes seconds; this long without a line, the run is stuck.
constexpr int kSilenceLimitMs = 120000;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// "COM2 chip 5: PASS (...)", or "chip 5: PASS (...)" from one writer: a
// verdict, and whether it passed.
bool IsVerdict(const std::string& line, bool& pass) {
    size_t chip = 0;
    if (line.rfind("COM", 0) == 0) {
        chip = line.find(" chip ");
        if (chip == std::string::npos) return false;
        ++chip;
    }
    const size_t colon = line.find(": ", chip);
    if (line.compare(chip, 5, "chip ") != 0 || colon == std::string::npos ||
        line.find_first_not_of("0123456789", chip + 5) != colon)
        return false;
    pass = line.compare(colon + 2, 4, "PASS") == 0;
    return true;
}

bool Say(int fd, const std::string& text) {
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// The emulators of one attempt, started paced with a blank chip each.
struct Emulators {
    std::vector<std::unique_ptr<EmulatorProcess>> all;
    std::vector<std::string> links;

    bool Start(int writers, const std::string& name, const WorkFolder& work, std::string& error) {
        for (int k = 1; k <= writers; ++k) {
            links.push_back(work.File(name + "-tty" + std::to_string(k)));
            all.push_back(std::make_unique<EmulatorProcess>());
            const std::string log = work.File(name + "-emulator" + std::to_string(k) + ".log");
            if (!all.back()->Start(OTP_BINARY_DIR "/writer-emulator", links.back(), true, log, error)) return false;
        }
        return true;
    }
    bool PutBlankChips(std::string& error) {
        for (size_t k = 0; k < all.size(); ++k)
            if (!all[k]->PutIc("blank")) {
                error = "writer-emulator " + std::to_string(k + 1) + " took no \"ic blank\"";
                return false;
            }
        return true;
    }
    double StopAll() {
        double cpuMs = 0;
        for (auto& e : all) {
            e->Stop();
            cpuMs += e->CpuMs();
        }
        return cpuMs;
    }
};

ChildCommand CliCommand(int writers, bool fast, const std::vector<std::string>& links, const std::string& outFile,
                        const WorkFolder& work) {
    std::string ports;
    ChildCommand rule{OTP_BINARY_DIR "/otpwriter-cli", {}, work.Path(), {}, outFile};
    for (int k = 1; k <= writers; ++k) {
        const std::string port = "COM" + std::to_string(k);
        ports += (k == 1 ? "" : ",") + port;
        rule.env.emplace_back("OTPWRITER_" + port, links[static_cast<size_t>(k - 1)]);
    }
    rule.args = {"--writers", ports};
    if (fast) rule.args.push_back("--fast");
    for (const char* a : {"load", kRomFile, "loop", "auto"}) rule.args.push_back(a);
    return rule;
}

StationRun Attempt(int writers, bool fast, int chips, const WorkFolder& work, int attempt) {
    StationRun r;
    r.writers = writers;
    r.fast = fast;
    const std::string name =
        "station-" + std::to_string(writers) + (fast ? "-fast-" : "-fixed-") + std::to_string(attempt);
    const std::string errFile = work.File(name + ".err");
    std::string failure;
    Emulators emulators;
    int in[2] = {-1, -1}, err[2] = {-1, -1};
    if (!emulators.Start(writers, name, work, failure)) {
        r.emulatorCpuMs = emulators.StopAll();
        r.note = failure;
        return r;
    }
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        r.emulatorCpuMs = emulators.StopAll();
        r.note = "no pipes for otpwriter-cli";
        return r;
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid =
        StartChild(CliCommand(writers, fast, emulators.links, work.File(name + ".out"), work), in[0], -1, err[1]);
    close(in[0]);
    close(err[1]);

    TimedLines lines(err[0], errFile, kPrompt);
    int round = 1, verdicts = 0;
    bool complete = false;
    Clock::time_point timedFrom{}, lastVerdict{};
    double cpuFrom = 0;
    for (;;) {
        std::string line;
        Clock::time_point at;
        const TimedLines::Got got = lines.Next(kSilenceLimitMs, line, at);
        if (got == TimedLines::Got::End) break;
        if (got == TimedLines::Got::Timeout) {
            if (failure.empty()) failure = "otpwriter-cli said nothing for " + std::to_string(kSilenceLimitMs / 1000) + " s";
            kill(pid, SIGKILL);
            break;
        }
        if (got == TimedLines::Got::Line) {
            bool pass = false;
            if (line.rfind(kPrompt, 0) != 0 && IsVerdict(line, pass)) {
                ++verdicts;
                lastVerdict = at;
                if (!pass && failure.empty()) failure = "round " + std::to_string(round) + ": " + line;
            }
            continue;
        }
        // The prompt: round `round` is over.
        if (failure.empty() && verdicts != writers)
            failure = "round " + std::to_string(round) + " gave " + std::to_string(verdicts) + " verdicts for " +
                      std::to_string(writers) + " writers";
        if (round == 1) {
            timedFrom = at;
            cpuFrom = ProcessCpuMs(pid);
        }
        if (failure.empty() && round == chips + 1) {
            r.timedMs = MsBetween(timedFrom, lastVerdict);
            r.timedCpuMs = ProcessCpuMs(pid) - cpuFrom;
            r.timedRounds = chips;
            r.chipsPassed = chips * writers;
            complete = true;
        }
        // The next round's chips go in before its Enter.
        if (complete || !failure.empty() || !emulators.PutBlankChips(failure)) {
            Say(in[1], "q\n");
            continue;
        }
        verdicts = 0;
        ++round;
        if (!Say(in[1], "\n") && failure.empty()) failure = "otpwriter-cli took no Enter";
    }
    close(in[1]);
    r.run = WaitChild(pid);
    r.run.wallMs = MsBetween(start, Clock::now());
    close(err[0]);
    r.emulatorCpuMs = emulators.StopAll();
    if (failure.empty() && r.run.status != 0)
        failure = "otpwriter-cli ended with status " + std::to_string(r.run.status);
    if (failure.empty() && !complete) failure = "otpwriter-cli ended after round " + std::to_string(round);
    r.measured = failure.empty();
    if (!r.measured) r.note = failure + " (see " + errFile + ")";
    return r;
}

}  // namespace

StationRun RunStation(int writers, bool fast, int chips, const WorkFolder& work) {
    StationRun r;
    int failed = 0;
    std::string firstNote;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        std::cerr << "otp-bench: station, " << writers << " writer(s), " << (fast ? "fast" : "fixed") << " waits"
                  << (attempt > 1 ? ", attempt " + std::to_string(attempt) : "") << std::endl;
        r = Attempt(writers, fast, chips, work, attempt);
        if (r.measured) break;
        if (failed++ == 0) firstNote = r.note;
        std::cerr << "otp-bench: " << r.note << std::endl;
    }
    r.failedAttempts = failed;
    if (r.measured && failed > 0) r.note = std::to_string(failed) + " failed attempt(s), first: " + firstNote;
    return r;
}

}  // namespace otp::bench
