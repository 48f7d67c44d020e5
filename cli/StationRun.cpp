#include "cli/StationRun.h"

#include <istream>
#include <mutex>
#include <sstream>

#include "cli/ChipLoop.h"
#include "cli/InterruptCatcher.h"
#include "cli/JobRun.h"
#include "cli/RoundPrompt.h"
#include "cli/StationConsole.h"
#include "cli/StationView.h"
#include "config/PathLookup.h"
#include "emulatedport/EmulatedPort.h"
#include "job/JobOpening.h"
#include "link/SystemSerialPort.h"
#include "station/ProductionRound.h"
#include "station/Station.h"
#include "view/TracingView.h"

namespace otp {
namespace {

// What the console keeps of each writer beside the station's own.
struct Seat {
    StationWriter* writer = nullptr;
    StationView* view = nullptr;  // none with --trace
    std::unique_ptr<StepRunner> runner;
    std::string firstFailure;
    std::vector<std::string> notes;
    std::vector<std::string> notRun;
    bool failed = false;

    void Activity(const std::string& text) {
        if (view) view->SetActivity(text);
    }
    void Failure(const std::string& text) {
        failed = true;
        if (firstFailure.empty()) firstFailure = text;
    }
};

// What goes wrong for the run as a whole, noted from any writer's thread.
struct Trouble {
    std::mutex mutex;
    std::string logError;
    void Log(const std::string& error) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (logError.empty()) logError = error;
    }
    std::string LogError() {
        const std::lock_guard<std::mutex> lock(mutex);
        return logError;
    }
};

bool IsVersionStep(const StepRequest& step) {
    const std::string name = step.def->name;
    return name == "version" || name == "update";
}

// "COM2 (no writer answered at start-up), COM4 (...)".
std::string StoppedList(const std::vector<Seat>& seats) {
    std::string list;
    for (const Seat& seat : seats)
        if (seat.writer->Stopped())
            list += (list.empty() ? "" : ", ") + seat.writer->Port() + " (" + seat.writer->StopReason() + ")";
    return list;
}

// ", order 12 of 5000" after a chip's counts; nothing without an order.
std::string OrderProgress(const RoundRules& rules) {
    return rules.order ? ", order " + rules.order->Progress() : std::string();
}

}  // namespace

int RunStation(const CliOptions& o, CliEnvironment& env) {
    StationConsole console(env.out, env.err, env.stderrIsTerminal && !o.trace, env.stdoutIsTerminal, o.writers);
    Station station;
    station.ledger().SetBatch(o.lot, o.operatorName);
    if (!o.station.empty()) station.ledger().SetStation(o.station);
    // A job that cannot be read stops the run before any writer is touched.
    JobFile job;
    std::string jobError;
    if (!o.job.empty() && !TakeJob(o, env.workingDir, station.ledger(), job, jobError)) {
        env.err << "otpwriter-cli: " << jobError << "\nFAIL: " << jobError << "\n";
        return 1;
    }
    std::vector<Seat> seats(o.writers.size());
    for (size_t i = 0; i < o.writers.size(); ++i) {
        const std::string& port = o.writers[i];
        WriterLine line = env.writerLine ? env.writerLine(port) : o.demo ? emu::MakeDemoLine(i) : SystemWriterLine();
        WriterParts parts;
        parts.port = port;
        parts.opener = std::move(line.opener);
        parts.pacer = std::move(line.pacer);
        parts.freshChip = std::move(line.freshChip);
        if (o.trace) {
            auto plain = std::make_unique<FormModel>();
            parts.shown = std::make_unique<TracingView>(
                *plain, [&console, port](const std::string& text) { console.Out(port + " " + text); });
            parts.form = std::move(plain);
        } else {
            auto view = std::make_unique<StationView>(console, i, port);
            seats[i].view = view.get();
            parts.form = std::move(view);
        }
        parts.form->yesAnswer = o.yes;
        parts.form->loadDamagedAnswer = o.loadDamaged;
        StationWriter& w = station.Add(std::move(parts), env.workingDir);
        w.ctx().link.fastWaits = o.fast;
        seats[i].writer = &w;
        seats[i].runner = std::make_unique<StepRunner>(w.session(), w.form(), w.watch(), w.recorder());
        seats[i].runner->SetJobOrder({o.quantity, o.lot});
    }
    const auto seatOf = [&](StationWriter& w) -> Seat& {
        for (Seat& seat : seats)
            if (seat.writer == &w) return seat;
        return seats.front();
    };

    // A signal lets every operation under way finish and be recorded; the
    // run stops after them.
    InterruptCatcher catcher(env.catchInterrupt, "the steps under way on every writer");
    const volatile std::sig_atomic_t& signalled = *catcher.Flag();
    const auto interruption = [&] { return "interrupted by " + SignalName(signalled); };

    for (Seat& seat : seats) seat.Activity("start-up");
    station.StartUp(env.workingDir);
    for (Seat& seat : seats) {
        StationWriter& w = *seat.writer;
        if (w.Stopped()) {
            seat.Failure(w.watch().FailureWith(w.ctx().findings));
            seat.Activity("stopped: " + w.StopReason());
            console.Err(w.Port() + ": stopped: " + w.StopReason());
        } else {
            seat.Activity(w.startup == StartupResult::Ready ? "ready" : "another version");
            // What a start-up that passed saw (bytes left on the line, a read outvoted) ends up in the PASS line.
            if (const std::string seen = w.ctx().findings.Text(); !seen.empty()) seat.notes.push_back(seen);
        }
    }
    bool failed = false;
    std::string stopReason;
    if (signalled) stopReason = interruption();
    else if (station.Running().empty()) stopReason = "no writer is running";

    // One log for every writer: --log wins over Writer.ini's key, taken from
    // the working directory. Writer.ini was read once, so any writer's state has it.
    const std::string logName = !o.log.empty() ? o.log : seats.front().writer->ctx().state.ProductionLogPath;
    if (!logName.empty() && stopReason.empty()) {
        std::string error;
        if (!station.ledger().UseLog(IsAbsolutePath(logName) ? logName : env.workingDir + "/" + logName, error)) {
            stopReason = error;
            failed = true;
        } else if (const std::string notice = station.ledger().LogNotice(); !notice.empty()) {
            console.Err(notice);
        }
    }

    if (stopReason.empty() && !OpenRecordServer(o, seats.front().writer->ctx().state, env, station.ledger(), stopReason))
        failed = true;
    for (Seat& seat : seats) {
        const std::string port = seat.writer->Port();
        seat.writer->recorder().OnRecordWait(
            [&console, port](const std::string& news) { console.Err(port + ": " + news); },
            [&signalled] { return signalled != 0; });
    }

    // Every writer of a job holds its image and settings, and gives its
    // firmware, before any chip; one that does not is stopped and named.
    std::unique_ptr<ProductionOrder> order;
    if (!o.job.empty() && stopReason.empty()) {
        station.OnEveryWriter([&](StationWriter& w) {
            Seat& seat = seatOf(w);
            seat.Activity("job " + job.job.name);
            std::string difference;
            if (OpenJobOnWriter(w.ctx(), w.form(), job, difference)) return;
            const std::string refusal = JobRefusal(job, w.Port(), difference);
            seat.Failure(refusal);
            w.Stop(refusal);
            seat.Activity("stopped: " + refusal);
        });
        std::string why;
        if (station.Running().empty()) {
            stopReason = "no writer holds the job " + job.job.name;
        } else if (!(order = station.ledger().OpenOrder(job.job, why))) {
            stopReason = "the order of the job " + job.job.name + " cannot be counted: " + why;
            failed = true;
        }
    }

    Trouble trouble;
    std::vector<std::string> notRun;
    const auto runStep = [&](StationWriter& w, const StepRequest& step) {
        Seat& seat = seatOf(w);
        // A writer of another version runs only the steps that show and mend it.
        if (!o.keepGoing && w.startup == StartupResult::OtherVersion && !IsVersionStep(step)) {
            seat.notRun.push_back(step.Text());
            return;
        }
        seat.Activity(step.Text());
        const StepResult r = seat.runner->Run(step);
        if (!r.note.empty()) seat.notes.push_back(r.note);
        if (!r.logError.empty()) trouble.Log(r.logError);
        if (r.outcome == Outcome::Done) {
            seat.Activity(step.Text() + ": done");
            return;
        }
        seat.Failure(r.failure);
        if (!o.keepGoing) {
            w.Stop("step '" + step.Text() + (r.outcome == Outcome::Refused ? "' was refused" : "' failed"));
            seat.Activity("stopped: " + w.StopReason());
        }
    };
    // The steps before a loop work on the chip in each socket.
    for (Seat& seat : seats) seat.writer->recorder().NewChip();
    for (const StepRequest& step : o.steps) {
        if (!stopReason.empty()) {
            notRun.push_back(step.Text());
            continue;
        }
        station.OnEveryWriter([&](StationWriter& w) { runStep(w, step); });
        if (console.OutFailed()) stopReason = "the output can not be written after step '" + step.Text() + "'";
        else if (!trouble.LogError().empty()) stopReason = trouble.LogError();
        else if (signalled) stopReason = interruption();
        else if (station.Running().empty()) stopReason = "every writer has stopped";
    }

    if (o.loop && !stopReason.empty()) notRun.push_back("loop");
    if (o.loop && stopReason.empty()) {
        for (Seat& seat : seats)
            if (!o.keepGoing && seat.writer->startup == StartupResult::OtherVersion)
                seat.writer->Stop("the writer's version differs from Writer.ini's");
        InterruptCatcher::StopsAfter("the chips under way, if any");
        RoundRules rules;
        rules.maxFails = o.maxFails;
        rules.order = order.get();
        // A place under way on another writer (of this station or another)
        // may come free: its chip failed.
        rules.awaitPlace = [&](const std::string& port, const std::string& why, int waited) {
            if (signalled) return false;
            for (Seat& seat : seats) {
                if (seat.writer->Port() != port) continue;
                if (waited == 0) console.Err(port + ": waiting: " + why);
                seat.Activity("waiting: " + why);
                seat.writer->ctx().pacer.Sleep(1000);
            }
            return signalled == 0;
        };
        // The record server away: the chip waits for it, as a record does.
        rules.awaitRecord = [&](const std::string& port, std::string& why, bool& waited) {
            StationWriter* w = station.Find(port);
            return w && w->recorder().AwaitRecord(w->ctx(), why, waited);
        };
        const auto orderComplete = [&] {
            if (!order || !order->Complete()) return false;
            console.Err(OrderCompleteLine(*order));
            return true;
        };
        std::istringstream noAnswers;
        std::istream& in = env.in ? *env.in : noAnswers;
        for (int round = 1; !orderComplete(); ++round) {
            if (station.Running().empty()) {
                stopReason = "every writer has stopped";
                break;
            }
            // Never fewer writers than were named without a word.
            const size_t producing = station.Producing().size();
            if (producing < seats.size()) {
                const std::string stopped = StoppedList(seats), aside = station.AsideList();
                console.Err("Round " + std::to_string(round) + ": " + std::to_string(producing) + " of " +
                            std::to_string(seats.size()) + " writers" + (stopped.empty() ? "" : "; stopped: " + stopped) +
                            (aside.empty() ? "" : "; set aside: " + aside));
            }
            station.OnEverySocket([&](StationWriter& w) {
                Seat& seat = seatOf(w);
                const auto fresh = [&w, round] {
                    if (round > 1) w.FreshChip();
                };
                const ChipEnd end = RunProductionChip(w.Port(), station.tally(), rules, fresh, [&] {
                    return RunChipSteps(*seat.runner, o.chipSteps,
                                        [&seat](const StepRequest& step) { seat.Activity(step.Text()); });
                });
                if (!end.ran) {
                    console.Err(w.Port() + ": no chip started: " + end.notStarted);
                    if (end.orderUnknown) trouble.Log(end.notStarted);
                    seat.Activity("order " + order->Progress());
                    return;
                }
                if (!end.logError.empty()) trouble.Log(end.logError);
                if (!end.failure.empty()) seat.Failure(end.failure);
                console.Err(w.Port() + " chip " + std::to_string(end.chip) + ": " + end.Said() + " (" +
                            end.mine.Summary() + OrderProgress(rules) + ")");
                seat.Activity("chip " + std::to_string(end.chip) + ": " + end.Word());
                if (!end.stop.empty()) w.Stop(end.stop);
                if (w.Stopped()) seat.Activity("stopped: " + w.StopReason());
            });
            console.Freeze();
            if (!trouble.LogError().empty()) {
                stopReason = trouble.LogError();
                break;
            }
            if (console.OutFailed()) {
                stopReason = "the output can not be written";
                break;
            }
            if (signalled) break;
            if (station.Running().empty()) {
                stopReason = "every writer has stopped";
                break;
            }
            if (order && order->Complete()) continue;  // said once, at the loop's head
            if (!NextRoundWanted(in, env.err, env.inIsTerminal, catcher.Flag(), station,
                                 [&](StationWriter& w, const std::string& said) {
                                     console.Err(w.Port() + ": " + said);
                                     seatOf(w).Activity(said);
                                 }))
                break;
        }
        if (signalled && stopReason.empty()) stopReason = interruption();
        const Tally total = station.tally().Total();
        env.err << "Chips: " << total.Chips() << " (" << total.Summary() << ")\n";
        for (const Seat& seat : seats) {
            const Tally mine = station.tally().Of(seat.writer->Port());
            env.err << "  " << seat.writer->Port() << ": " << mine.Chips() << " (" << mine.Summary() << ")\n";
        }
    }
    console.Freeze();

    // What stopped, and why, once more at the end.
    for (Seat& seat : seats) {
        StationWriter& w = *seat.writer;
        if (w.Stopped()) {
            failed = true;
            env.err << "otpwriter-cli: " << w.Port() << " stopped: " << w.StopReason() << "\n";
        }
        if (seat.failed) failed = true;
        if (!seat.notRun.empty()) {
            failed = true;
            std::string list;
            for (const std::string& s : seat.notRun) list += (list.empty() ? "" : ", ") + s;
            env.err << "otpwriter-cli: " << w.Port() << ": the writer's version differs from Writer.ini's; not run: "
                    << list << "\n";
        }
    }
    if (signalled) failed = true;
    if (!stopReason.empty()) {
        failed = true;
        std::string message = stopReason;
        for (size_t i = 0; i < notRun.size(); ++i) message += (i == 0 ? "; not run: " : ", ") + notRun[i];
        env.err << "otpwriter-cli: " << message << "\n";
    }
    std::string firstFailure;
    for (const Seat& seat : seats)
        if (firstFailure.empty() && !seat.firstFailure.empty())
            firstFailure = seat.writer->Port() + ": " + seat.firstFailure;
    if (failed && firstFailure.empty()) firstFailure = stopReason.empty() ? "a step did not pass" : stopReason;
    std::string passLine = "PASS";
    size_t noted = 0;
    for (const Seat& seat : seats)
        for (const std::string& note : seat.notes)
            passLine += (noted++ == 0 ? ": " : "; ") + seat.writer->Port() + ": " + note;
    env.err << WithRecordsOnlyHere(failed ? "FAIL: " + firstFailure : passLine, station.ledger()) << "\n";
    return failed ? 1 : 0;
}

}  // namespace otp
