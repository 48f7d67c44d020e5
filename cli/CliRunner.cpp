#include "cli/CliRunner.h"

#include <memory>
#include <sstream>

#include "cli/ChipLoop.h"
#include "cli/JobRun.h"
#include "cli/CliOptions.h"
#include "cli/StationRun.h"
#include "cli/ConsoleView.h"
#include "cli/InterruptCatcher.h"
#include "cli/ReportCommand.h"
#include "cli/StepRunner.h"
#include "cli/Steps.h"
#include "emulatedport/EmulatedPort.h"
#include "config/PathLookup.h"
#include "emulator/IcAccess.h"
#include "job/JobOpening.h"
#include "link/SystemSerialPort.h"
#include "operations/Session.h"
#include "operations/Startup.h"
#include "record/LineRecord.h"
#include "record/RecordServer.h"
#include "station/Station.h"
#include "version/ProgramVersion.h"
#include "view/TracingView.h"

namespace otp {

std::string CliUsage() {
    std::ostringstream u;
    u << "Usage: otpwriter-cli [OPTIONS] [STEP...]\n"
         "       otpwriter-cli report [OPTIONS] SOURCE...\n"
         "\n"
         "Runs the writer host without its window, in the working directory: reads\n"
         "Writer.ini there, checks the writer on the configured port, then runs the\n"
         "steps in the order given. Each step acts as the operator's click or pick.\n"
         "\n"
         "Options:\n"
         "  --trace   print every view operation on stdout, one per line, instead of\n"
         "            the plain pane lines\n"
         "  --yes     answer Yes to the firmware update's and the test-code write's\n"
         "            confirmations (default: No)\n"
         "  --load-damaged\n"
         "            answer Yes when load asks whether to load a damaged ROM file\n"
         "            anyway (default: No); the last line then says that it was\n"
         "            loaded\n"
         "  --demo    talk to an emulated writer inside this program instead of a\n"
         "            serial port\n"
         "  --keep-going\n"
         "            run every step even after one failed or was refused (by\n"
         "            default the run stops there, and says which steps it left out)\n"
         "  --fast    end each wait for the writer as soon as its whole answer is in\n"
         "            (a block read's bytes, an operation's status); the fixed waits\n"
         "            of Writer.ini stay the time-outs. Off by default\n"
         "  --log FILE\n"
         "            append one CSV line per chip operation (auto, blank, program,\n"
         "            verify, read, copy, testcode-write) to FILE; without it, the\n"
         "            PRODUCTION_LOG of Writer.ini, if any. A log that cannot be\n"
         "            written stops the run: nothing runs unrecorded\n"
         "  --lot LOT, --operator NAME\n"
         "            name the lot and the operator in every record of the log\n"
         "  --record URL\n"
         "            write every record to the line's record server too, a\n"
         "            PostgreSQL database named by a libpq URL such as\n"
         "            postgresql://otp@server/line; without it, the\n"
         "            PRODUCTION_RECORD of Writer.ini, if any. A server that cannot\n"
         "            be reached at the start stops the run; one that goes away\n"
         "            later gets the records kept in the station's spool\n"
         "            (otpwriter-record-STATION.spool beside the log, else in the\n"
         "            user's data folder) first when it is back, and no chip starts\n"
         "            until then (\"waiting for the record server\"). With the\n"
         "            rolling code on, a chip whose code a passed chip of any\n"
         "            station holds in the record fails\n"
         "  --quantity N\n"
         "            the order's quantity (passed chips to make) of the job that\n"
         "            job-save makes\n"
         "  --job FILE\n"
         "            run the production job FILE (NAME.otpjob, made by job-save):\n"
         "            every writer loads the job's image (found beside it by its\n"
         "            SHA-256), takes its settings and reads them back, and must give\n"
         "            its firmware version, or the run stops naming what differs;\n"
         "            then only 'loop' and its chip steps run, every record names the\n"
         "            job, and the run ends when the order is complete (\"order\n"
         "            complete: N of N passed\"). Steps that change what the job fixes\n"
         "            are refused\n"
         "  --station NAME\n"
         "            the name the records give this computer (default: its host\n"
         "            name)\n"
         "  --max-fails N\n"
         "            end the chip loop after N failed chips in a row (with several\n"
         "            writers: stop that writer)\n"
         "  --writers PORTS\n"
         "            drive these writers (COM1 to COM256, separated by commas, e.g.\n"
         "            COM1,COM2,COM3,COM4) instead of Writer.ini's RS232_PORT. With\n"
         "            more than one, every step runs on every writer at once, each\n"
         "            on its own thread (see Several writers below); with --demo,\n"
         "            each port is an emulated writer with its own blank chip\n"
         "  --help    show this help\n"
         "  --version show the program's version\n"
         "\n"
         "Steps:\n";
    if (AllSteps().empty()) u << "  (none yet)\n";
    for (const StepDef& s : AllSteps()) {
        std::string head = std::string(s.name) + (s.argName ? std::string(" ") + s.argName : "");
        if (head.size() < 20) head.resize(20, ' ');
        u << "  " << head << " " << s.help << "\n";
    }
    u << "  loop                 run the steps after it once per chip: after each chip its\n"
         "                       verdict and the counts, then Enter for the next chip or q\n"
         "                       to stop; Ctrl-C stops after the current chip. A failed\n"
         "                       step ends its chip, and the loop goes on. With --demo,\n"
         "                       each Enter puts a fresh blank chip into the socket\n"
         "\n"
         "After the steps, one line on stderr: PASS, or FAIL: and the first line that\n"
         "said what went wrong; after a loop, the totals too.\n"
         "\n"
         "Signals: Ctrl-C, SIGTERM or SIGHUP let the step under way (in the loop, the\n"
         "chip under way) finish and be recorded, then stop the run with exit status 1\n"
         "and a line saying so. A firmware update is never cut short.\n"
         "\n"
         "Several writers: the start-up runs on every writer at once, Writer.ini read\n"
         "once; then each step runs on every writer at once. In the loop, each Enter\n"
         "starts one round, every socket at once, and each chip's verdict is printed\n"
         "as it ends (\"COM2 chip 5: PASS\"). A writer that fails its start-up or a\n"
         "step, stops answering, or reaches --max-fails is stopped and named, and\n"
         "every round says so; the others go on, and the run's exit status is 1.\n"
         "Before the Enter, \"aside COM2\" sets a socket aside (a worn contact: it\n"
         "starts no chip, and every round says so) and \"back COM2\" takes it back.\n"
         "Pane lines go to stdout after their writer's port (\"COM2: ...\"), the\n"
         "trace's after the port and a blank; on a terminal, stderr shows one live\n"
         "line per writer. The log's writer column names the port, and the chip\n"
         "numbers count per writer. A rolling code that an earlier chip was given\n"
         "(any writer, this run or the log) fails the chip that reports it again.\n"
         "\n"
         "Output: each pane line on stdout; message boxes on stderr as \"TITLE: text\";\n"
         "a progress bar on stderr during long waits when stderr is a terminal.\n"
         "\n"
         "Ports: Writer.ini names COM1 to COM4, --writers COM1 to COM256. COMn opens the device named by the\n"
         "environment variable OTPWRITER_COMn when it is set, else /dev/ttyS<n-1> on\n"
         "Linux (COM1 is /dev/ttyS0) and \\\\.\\COMn on Windows.\n"
         "\n"
         "Files: a relative FILE (load, save, --log) is taken from the working\n"
         "directory. On Windows a FILE may also start with a drive (C:\\ or C:/) or a\n"
         "server (\\\\server\\share\\), and \\ separates folders as / does.\n"
         "\n"
         "A start-up that finds no writer or no readable Writer.ini fails the run\n"
         "before any step; one that finds a writer of another version than\n"
         "Writer.ini's runs only the steps version and update, which show and mend it.\n"
         "\n"
         "Reports: 'otpwriter-cli report [--from TIME] [--to TIME] [--html FILE]\n"
         "SOURCE...' counts the chips of production logs (or the record server)\n"
         "without a writer: yield by hour, station, writer and body, failures by\n"
         "cause, rolling codes held by more than one chip; as text, and with --html\n"
         "as one HTML page with charts. 'otpwriter-cli report --help' tells more.\n"
         "\n"
         "Exit status: 0 when everything ran and nothing failed or was refused\n"
         "(in a loop: every chip passed), 1 when something failed or was refused\n"
         "(or the output or the log could not be written), 2 for a usage error.\n";
    return u.str();
}

bool OpenRecordServer(const CliOptions& o, const WriterState& state, CliEnvironment& env, ChipLedger& ledger,
                      std::string& error) {
    const std::string url = !o.record.empty() ? o.record : state.ProductionRecordUrl;
    if (url.empty()) return true;
    env.err << "otpwriter-cli: connecting to the record server " << ShownRecordUrl(url) << "\n" << std::flush;
    const bool open = UseRecordServer(ledger, url, env.workingDir, error);
    // What the spool had to say (lines set aside, an earlier run's records
    // sent) before any chip.
    for (const std::string& notice : ledger.TakeNotices()) env.err << "otpwriter-cli: " << notice << "\n";
    return open;
}

std::string WithRecordsOnlyHere(std::string lastLine, ChipLedger& ledger) {
    const std::string onlyHere = ledger.RecordsOnlyHere();
    if (onlyHere.empty()) return lastLine;
    return lastLine + (lastLine.find(": ") == std::string::npos ? ": " : "; ") + onlyHere;
}

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
    // A report reads logs and opens no writer.
    if (!args.empty() && args[0] == "report")
        return RunReport(std::vector<std::string>(args.begin() + 1, args.end()), env, RecordServerReader());
    CliOptions o;
    const std::string complaint = ParseArgs(args, o);
    if (!complaint.empty()) {
        env.err << "otpwriter-cli: " << complaint << "\nTry 'otpwriter-cli --help'.\n";
        return 2;
    }
    if (o.help) {
        env.out << CliUsage();
        return 0;
    }
    if (o.version) {
        env.out << "otpwriter-cli " << kProgramVersion << "\nBuilt " << kBuildDate << ".\n";
        return 0;
    }

    if (o.writers.size() > 1) return RunStation(o, env);

    // One writer named with --writers comes the way a station's would.
    WriterLine named;
    if (o.writers.size() == 1 && env.writerLine) named = env.writerLine(o.writers[0]);
    RealPacer realPacer;
    Pacer& pacer = named.pacer ? *named.pacer : env.pacer ? *env.pacer : realPacer;
    // A port named with --writers may be any of COM1 to COM256.
    SystemPortOpener realOpener(!o.writers.empty());
    std::unique_ptr<emu::EmulatedPortOpener> demoOpener;
    if (o.demo && !env.opener && !named.opener) demoOpener = emu::MakeDemoOpener(pacer);
    PortOpener& opener = named.opener  ? *named.opener
                         : env.opener  ? *env.opener
                         : demoOpener  ? *demoOpener
                                       : static_cast<PortOpener&>(realOpener);
    std::function<void()> freshChip = named.opener ? named.freshChip : env.freshChip;
    if (demoOpener) freshChip = [&demoOpener] { emu::PutInSocket(demoOpener->Writer(), emu::IcKind::Blank); };

    ConsoleView console(env.out, env.err, env.stderrIsTerminal && !o.trace);
    console.yesAnswer = o.yes;
    console.loadDamagedAnswer = o.loadDamaged;
    FormModel plain;
    plain.yesAnswer = o.yes;
    plain.loadDamagedAnswer = o.loadDamaged;
    FormModel& form = o.trace ? plain : console;
    TracingView tracing(plain, [&env](const std::string& line) { env.out << line << '\n'; });
    OperationWatch watch(o.trace ? static_cast<MainView&>(tracing) : console);
    ChipRecorder recorder(watch);
    recorder.ledger().SetBatch(o.lot, o.operatorName);
    if (!o.station.empty()) recorder.ledger().SetStation(o.station);
    // A job that cannot be read stops the run before any writer is touched.
    JobFile job;
    std::string jobError;
    if (!o.job.empty() && !TakeJob(o, env.workingDir, recorder.ledger(), job, jobError)) {
        env.err << "otpwriter-cli: " << jobError << "\nFAIL: " << jobError << "\n";
        return 1;
    }

    // A signal lets the operation under way finish and be recorded; the run
    // stops after it.
    InterruptCatcher catcher(env.catchInterrupt);
    const volatile std::sig_atomic_t& signalled = *catcher.Flag();
    const auto interruption = [&] { return "interrupted by " + SignalName(signalled); };

    Session session(watch, pacer, opener, env.workingDir);
    session.ctx().link.fastWaits = o.fast;
    const StartupResult startup =
        RunStartup(session.ctx(), StartupPlan{nullptr, o.writers.empty() ? std::string() : o.writers[0]});
    env.out.flush();
    bool failed = startup != StartupResult::Ready || !env.out;
    // What the summary line names: the first line that said what went wrong.
    std::string firstFailure =
        startup != StartupResult::Ready ? watch.FailureWith(session.ctx().findings) : std::string();
    // Why the steps still to come are left out; empty while they run.
    std::string stopReason;
    if (!env.out) stopReason = "the output can not be written";
    else if (signalled) stopReason = interruption();
    else if (!o.keepGoing) stopReason = StartupStopReason(startup, session.ctx());
    // --log wins over Writer.ini's key; either is taken from the working directory.
    bool logFailed = false;
    const std::string logName = !o.log.empty() ? o.log : session.state().ProductionLogPath;
    if (!logName.empty() && stopReason.empty()) {
        std::string error;
        if (!recorder.UseLog(IsAbsolutePath(logName) ? logName : env.workingDir + "/" + logName, error)) {
            stopReason = error;
            failed = logFailed = true;
        } else if (const std::string notice = recorder.ledger().LogNotice(); !notice.empty()) {
            env.err << "otpwriter-cli: " << notice << "\n";
        }
    }
    if (stopReason.empty() && !OpenRecordServer(o, session.state(), env, recorder.ledger(), stopReason))
        failed = logFailed = true;
    recorder.OnRecordWait([&env](const std::string& news) { env.err << "otpwriter-cli: " << news << "\n"; },
                          [&signalled] { return signalled != 0; });
    // A job's writer holds its image and settings, and gives its firmware, before any chip.
    std::unique_ptr<ProductionOrder> order;
    if (!o.job.empty() && stopReason.empty()) {
        std::string difference;
        if (!OpenJobOnWriter(session.ctx(), form, job, difference)) {
            stopReason = JobRefusal(job, session.state().PortName, difference);
            failed = true;
            // It says what the job wants, which a start-up's own complaint does not.
            firstFailure = stopReason;
        } else if (!(order = recorder.ledger().OpenOrder(job.job, stopReason))) {
            failed = true;
            firstFailure = stopReason = "the order of the job " + job.job.name + " cannot be counted: " + stopReason;
        }
        env.out.flush();
    }
    // A writer of another version runs only the steps that show and mend it.
    const bool versionOnly = !o.keepGoing && startup == StartupResult::OtherVersion;
    StepRunner runner(session, form, watch, recorder);
    runner.SetJobOrder({o.quantity, o.lot});
    // The steps before a loop work on the chip in the socket.
    runner.NewChip();
    std::vector<std::string> notRun;
    // What steps that passed could not confirm: the PASS line says it.
    std::vector<std::string> notes;
    // What a start-up that passed saw (bytes left on the line, a read outvoted) is one of them.
    if (startup == StartupResult::Ready && !session.ctx().findings.notes.empty())
        notes.push_back(session.ctx().findings.Text());
    const auto skip = [&](const StepRequest& step) {
        return !stopReason.empty() || (versionOnly && std::string(step.def->name) != "version" &&
                                       std::string(step.def->name) != "update");
    };
    for (const StepRequest& step : o.steps) {
        if (skip(step)) {
            notRun.push_back(step.Text());
            continue;
        }
        const StepResult r = runner.Run(step);
        env.out.flush();
        if (!r.note.empty()) notes.push_back(r.note);
        if (r.outcome != Outcome::Done && firstFailure.empty())
            firstFailure = r.failure;
        if (!env.out) {
            // Never stopped in the middle of a step: a stream to the writer runs to its end.
            stopReason = "the output can not be written after step '" + step.Text() + "'";
            failed = true;
        } else if (!r.logError.empty()) {
            stopReason = r.logError;
            failed = logFailed = true;
        } else if (r.outcome != Outcome::Done) {
            failed = true;
            if (!o.keepGoing)
                stopReason = "step '" + step.Text() + (r.outcome == Outcome::Refused ? "' was refused" : "' failed");
        }
        if (signalled && stopReason.empty()) stopReason = interruption();
    }
    if (o.loop) {
        if (!stopReason.empty() || versionOnly) {
            notRun.push_back("loop");
            if (stopReason.empty()) stopReason = "the writer's version differs from Writer.ini's";
        } else {
            std::istringstream noAnswers;
            ChipLoopSettings settings{env.in ? *env.in : noAnswers, env.err, freshChip};
            settings.maxFails = o.maxFails;
            settings.inIsTerminal = env.inIsTerminal;
            InterruptCatcher::StopsAfter("the chip under way, if any");
            settings.interrupted = catcher.Flag();
            settings.order = order.get();
            settings.awaitPlace = [&session] {
                session.ctx().pacer.Sleep(1000);
                return true;
            };
            settings.awaitRecord = [&recorder, &session](std::string& why, bool& waited) {
                return recorder.AwaitRecord(session.ctx(), why, waited);
            };
            const ChipLoopEnd end = RunChipLoop(runner, o.chipSteps, settings);
            env.out.flush();
            // A refused chip is no failed one, but the run did not do what it was asked.
            if (end.chips.failed > 0 || end.chips.refused > 0 || !end.stopReason.empty() || !env.out) failed = true;
            if (firstFailure.empty()) firstFailure = end.firstFailure;
            if (!end.stopReason.empty()) {
                stopReason = end.stopReason;
                logFailed = true;
            }
            if (!env.out) stopReason = "the output can not be written";
            else if (signalled && stopReason.empty()) stopReason = interruption();
            env.err << "Chips: " << end.chips.Chips() << " (" << end.chips.Summary() << ")\n";
        }
    }
    // An interrupted run did not do all it was asked to.
    if (signalled) failed = true;
    if (!notRun.empty() || !env.out || logFailed || signalled) {
        std::string message = stopReason.empty() ? "the writer's version differs from Writer.ini's" : stopReason;
        for (size_t i = 0; i < notRun.size(); ++i) message += (i == 0 ? "; not run: " : ", ") + notRun[i];
        env.err << "otpwriter-cli: " << message << "\n";
    }
    if (failed && firstFailure.empty()) firstFailure = stopReason.empty() ? "a step did not pass" : stopReason;
    std::string passLine = "PASS";
    for (size_t i = 0; i < notes.size(); ++i) passLine += (i == 0 ? ": " : "; ") + notes[i];
    env.err << WithRecordsOnlyHere(failed ? "FAIL: " + firstFailure : passLine, recorder.ledger()) << "\n";
    return failed ? 1 : 0;
}

}  // namespace otp
