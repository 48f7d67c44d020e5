#include "cli/CliOptions.h"

#include "cli/Steps.h"
#include "config/WriterIni.h"

namespace otp {
namespace {

// A count of 1 to `most` (at most 1000000000).
bool ParseCount(const std::string& text, int& count, int most = 1000000) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const long long n = std::stoll(text);
    if (n < 1 || n > most) return false;
    count = static_cast<int>(n);
    return true;
}

}  // namespace

std::string ParseArgs(const std::vector<std::string>& args, CliOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--version") o.version = true;
        else if (a == "--trace") o.trace = true;
        else if (a == "--yes") o.yes = true;
        else if (a == "--load-damaged") o.loadDamaged = true;
        else if (a == "--demo") o.demo = true;
        else if (a == "--keep-going") o.keepGoing = true;
        else if (a == "--fast") o.fast = true;
        else if (a == "--log") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "--log needs a FILE";
            o.log = args[++i];
        } else if (a == "--max-fails") {
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], o.maxFails))
                return "--max-fails needs a count from 1 to 1000000";
            ++i;
        } else if (a == "--quantity") {
            int count = 0;
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], count, 1000000000))
                return "--quantity needs a number of chips from 1 to 1000000000";
            o.quantity = count;
            ++i;
        } else if (a == "--job") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "--job needs a FILE (NAME.otpjob)";
            o.job = args[++i];
        } else if (a == "--record") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "--record needs a URL, e.g. postgresql://otp@server/line";
            o.record = args[++i];
        } else if (a == "--station") {
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].find_first_of(" \t") != std::string::npos)
                return "--station needs a NAME without blanks";
            o.station = args[++i];
        } else if (a == "--lot" || a == "--operator") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return a + (a == "--lot" ? " needs a LOT" : " needs a NAME");
            (a == "--lot" ? o.lot : o.operatorName) = args[++i];
        } else if (a == "--writers") {
            if (i + 1 >= args.size()) return "--writers needs PORTS, e.g. COM1,COM2";
            const std::string complaint = ParseStationPorts(args[++i], o.writers);
            if (!complaint.empty()) return complaint;
        } else if (a.rfind("-", 0) == 0) return "unknown option '" + a + "'";
        else if (a == "loop") {
            if (o.loop) return "'loop' can be given only once";
            o.loop = true;
        } else {
            const StepDef* def = FindStep(a);
            if (!def) return "unknown step '" + a + "'";
            std::string arg;
            if (def->argName) {
                if (i + 1 >= args.size()) return "step '" + a + "' needs " + def->argName;
                arg = args[++i];
            }
            (o.loop ? o.chipSteps : o.steps).push_back({def, arg});
        }
    }
    if (o.loop && o.chipSteps.empty()) return "'loop' needs the steps to repeat after it";
    if (o.maxFails && !o.loop) return "--max-fails works only with 'loop'";
    if (!o.job.empty()) {
        if (o.quantity > 0) return "--quantity makes a job with job-save; a job run takes the job's own";
        if (o.loadDamaged) return "--load-damaged cannot load a job's image: the job names its image by its digest";
        for (const auto* list : {&o.steps, &o.chipSteps})
            for (const StepRequest& step : *list)
                if (JobFixes(*step.def))
                    return "step '" + std::string(step.def->name) + "' cannot run in a job: the job " + o.job +
                           " fixes the image, the settings and the firmware";
        // Every chip of a job claims its place of the order: chips are made in the loop.
        for (const StepRequest& step : o.steps)
            if (step.def->touchesChip)
                return "step '" + std::string(step.def->name) + "' works on a chip outside the loop: a job's chips " +
                       "are made after 'loop' (--job " + o.job + " loop auto)";
        if (!o.loop) return "a job runs its chips in a loop: --job " + o.job + " loop auto";
    }
    // Every writer would save to the one file.
    if (o.writers.size() > 1)
        for (const auto* list : {&o.steps, &o.chipSteps})
            for (const StepRequest& step : *list)
                if (std::string(step.def->name) == "save")
                    return "'save' works with one writer: name one with --writers, or none";
    return {};
}

}  // namespace otp
