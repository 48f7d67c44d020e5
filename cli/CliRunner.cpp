#include "cli/CliRunner.h"

#include <memory>
#include <sstream>

#include "cli/ConsoleView.h"
#include "cli/Steps.h"
#include "emulatedport/EmulatedPort.h"
#include "link/PosixSerialPort.h"
#include "operations/Session.h"
#include "operations/Startup.h"
#include "view/TracingView.h"

namespace otp {
namespace {

struct Options {
    bool help = false;
    bool trace = false;
    bool yes = false;
    bool demo = false;
    bool keepGoing = false;
    struct Step { const StepDef* def; std::string arg; };
    std::vector<Step> steps;
};

// Empty when the arguments are good, else the complaint.
std::string ParseArgs(const std::vector<std::string>& args, Options& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--trace") o.trace = true;
        else if (a == "--yes") o.yes = true;
        else if (a == "--demo") o.demo = true;
        else if (a == "--keep-going") o.keepGoing = true;
        else if (a.rfind("-", 0) == 0) return "unknown option '" + a + "'";
        else {
            const StepDef* def = FindStep(a);
            if (!def) return "unknown step '" + a + "'";
            std::string arg;
            if (def->argName) {
                if (i + 1 >= args.size()) return "step '" + a + "' needs " + def->argName;
                arg = args[++i];
            }
            o.steps.push_back({def, arg});
        }
    }
    return {};
}

}  // namespace

std::string CliUsage() {
    std::ostringstream u;
    u << "Usage: otpwriter-cli [OPTIONS] [STEP...]\n"
         "\n"
         "Runs the writer host without its window, in the working directory: reads\n"
         "Writer.ini there, checks the writer on the configured port, then runs the\n"
         "steps in the order given. Each step acts as the operator's click or pick.\n"
         "\n"
         "Options:\n"
         "  --trace   print every view operation on stdout, one per line, instead of\n"
         "            the plain pane lines\n"
         "  --yes     answer Yes to confirmations (default: No)\n"
         "  --demo    talk to an emulated writer inside this program instead of a\n"
         "            serial port\n"
         "  --keep-going\n"
         "            run every step even after one failed or was refused (by\n"
         "            default the run stops there, and says which steps it left out)\n"
         "  --help    show this help\n"
         "\n"
         "Steps:\n";
    if (AllSteps().empty()) u << "  (none yet)\n";
    for (const StepDef& s : AllSteps()) {
        std::string head = std::string(s.name) + (s.argName ? std::string(" ") + s.argName : "");
        if (head.size() < 20) head.resize(20, ' ');
        u << "  " << head << " " << s.help << "\n";
    }
    u << "\n"
         "Output: each pane line on stdout; message boxes on stderr as \"TITLE: text\";\n"
         "a progress bar on stderr during long waits when stderr is a terminal.\n"
         "\n"
         "Ports: Writer.ini names COM1 to COM4. COMn opens the device named by the\n"
         "environment variable OTPWRITER_COMn when it is set, else /dev/ttyS<n-1>.\n"
         "\n"
         "A start-up that finds no writer or no readable Writer.ini fails the run\n"
         "before any step; one that finds a writer of another version than\n"
         "Writer.ini's runs only the steps version and update, which show and mend it.\n"
         "\n"
         "Exit status: 0 when everything ran and nothing failed or was refused,\n"
         "1 when something failed or was refused (or the output could not be\n"
         "written), 2 for a usage error.\n";
    return u.str();
}

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
    Options o;
    const std::string complaint = ParseArgs(args, o);
    if (!complaint.empty()) {
        env.err << "otpwriter-cli: " << complaint << "\nTry 'otpwriter-cli --help'.\n";
        return 2;
    }
    if (o.help) {
        env.out << CliUsage();
        return 0;
    }

    RealPacer realPacer;
    Pacer& pacer = env.pacer ? *env.pacer : realPacer;
    PosixPortOpener realOpener;
    std::unique_ptr<PortOpener> demoOpener;
    if (o.demo && !env.opener) demoOpener = emu::MakeDemoOpener(pacer);
    PortOpener& opener = env.opener ? *env.opener : demoOpener ? *demoOpener : static_cast<PortOpener&>(realOpener);

    ConsoleView console(env.out, env.err, env.stderrIsTerminal && !o.trace);
    console.yesAnswer = o.yes;
    FormModel plain;
    plain.yesAnswer = o.yes;
    FormModel& form = o.trace ? plain : console;
    TracingView tracing(plain, [&env](const std::string& line) { env.out << line << '\n'; });
    MainView& view = o.trace ? static_cast<MainView&>(tracing) : console;

    Session session(view, pacer, opener, env.workingDir);
    const StartupResult startup = RunStartup(session.ctx());
    env.out.flush();
    bool failed = startup != StartupResult::Ready || !env.out;
    // Why the steps still to come are left out; empty while they run.
    std::string stopReason;
    if (!env.out) stopReason = "the output can not be written";
    else if (!o.keepGoing && startup == StartupResult::NoWriter) stopReason = "no writer answered at start-up";
    else if (!o.keepGoing && startup == StartupResult::NoIni) stopReason = "Writer.ini could not be read";
    // A writer of another version runs only the steps that show and mend it.
    const bool versionOnly = !o.keepGoing && startup == StartupResult::OtherVersion;
    std::vector<std::string> notRun;
    for (const Options::Step& step : o.steps) {
        const std::string text = step.arg.empty() ? step.def->name : std::string(step.def->name) + " " + step.arg;
        const std::string name = step.def->name;
        if (!stopReason.empty() || (versionOnly && name != "version" && name != "update")) {
            notRun.push_back(text);
            continue;
        }
        StepCall call{session.ctx(), form, step.arg};
        const Outcome outcome = step.def->run(call);
        env.out.flush();
        if (!env.out) {
            // Never stopped in the middle of a step: a stream to the writer runs to its end.
            stopReason = "the output can not be written after step '" + text + "'";
            failed = true;
        } else if (outcome != Outcome::Done) {
            failed = true;
            if (!o.keepGoing) stopReason = "step '" + text + (outcome == Outcome::Refused ? "' was refused" : "' failed");
        }
    }
    if (!notRun.empty() || !env.out) {
        std::string message = stopReason.empty() ? "the writer's version differs from Writer.ini's" : stopReason;
        for (size_t i = 0; i < notRun.size(); ++i) message += (i == 0 ? "; not run: " : ", ") + notRun[i];
        env.err << "otpwriter-cli: " << message << "\n";
    }
    return failed ? 1 : 0;
}

}  // namespace otp
