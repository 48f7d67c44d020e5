#include "cli/CliRunner.h"

#include <memory>
#include <sstream>

#include "cli/ConsoleView.h"
#include "cli/Steps.h"
#include "emulator/EmulatedPort.h"
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
         "Exit status: 0 when everything ran and nothing failed or was refused,\n"
         "1 when something failed or was refused, 2 for a usage error.\n";
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
    Outcome outcome = RunStartup(session.ctx());
    for (const Options::Step& step : o.steps) {
        StepCall call{session.ctx(), form, step.arg};
        outcome = Worse(outcome, step.def->run(call));
    }
    env.out.flush();
    return outcome == Outcome::Done ? 0 : 1;
}

}  // namespace otp
