#include "cli/ReportCommand.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "config/PathLookup.h"
#include "record/RecordServer.h"
#include "record/RecordUrl.h"
#include "report/ReportFigures.h"
#include "report/ReportHtml.h"
#include "report/ReportInput.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"
#include "report/ReportTime.h"

namespace otp {
namespace {

struct ReportOptions {
    bool help = false;
    TimeWindow window;
    std::string from, to, html;
    std::vector<std::string> sources;
};

std::string ParseReportArgs(const std::vector<std::string>& args, ReportOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--from" || a == "--to") {
            if (i + 1 >= args.size()) return a + " needs a TIME, e.g. 2026-12-08T10:00";
            const std::string& text = args[++i];
            std::time_t t;
            if (!ParseLocalTime(text, t))
                return a + " takes a local time as 2026-12-08T10:00, \"2026-12-08 10:00\" or 2026-12-08, not '" +
                       text + "'";
            (a == "--from" ? o.from : o.to) = text;
            (a == "--from" ? o.window.from : o.window.to) = t;
        } else if (a == "--html") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "--html needs a FILE";
            o.html = args[++i];
        } else if (a.rfind("-", 0) == 0 && a.size() > 1) {
            return "unknown option '" + a + "'";
        } else {
            o.sources.push_back(a);
        }
    }
    if (o.help) return {};
    if (o.sources.empty()) return "report needs a SOURCE: a production log or a postgresql:// URL";
    if (o.window.from && o.window.to && *o.window.from >= *o.window.to)
        return "--from " + o.from + " is not before --to " + o.to;
    return {};
}

}  // namespace

std::string ReportUsage() {
    return "Usage: otpwriter-cli report [--from TIME] [--to TIME] [--html FILE] SOURCE...\n"
           "\n"
           "Counts the chips of production logs, without a writer: chips, passed,\n"
           "failed, refused and yield by hour, by station, by writer, by body, by lot\n"
           "and by operator; failures by cause; and the rolling codes held by more\n"
           "than one chip. The tables go to stdout.\n"
           "\n"
           "SOURCE: a production log (CSV of any version of this program; its header\n"
           "names the columns) or the record server as a postgresql:// or postgres://\n"
           "URL. A relative FILE is taken from the working directory. A row that\n"
           "several sources hold (a station's log and the record) counts once, with\n"
           "the record's verdict (the record server may have failed it later).\n"
           "\n"
           "Options:\n"
           "  --from TIME  count the rows from TIME on (TIME included)\n"
           "  --to TIME    count the rows before TIME (TIME not included). TIME is\n"
           "               this computer's local time: 2026-12-08T10:00,\n"
           "               \"2026-12-08 10:00\" or 2026-12-08 (its midnight)\n"
           "  --html FILE  also write the report to FILE as one HTML page: the tables\n"
           "               and three charts (yield per hour, chips per writer,\n"
           "               failures by cause); it fetches nothing and runs no script\n"
           "  --help       show this help\n"
           "\n"
           "Counting: the rows of one station, run, writer and chip number are one\n"
           "chip (blank, program and verify of one chip in the socket). A chip with a\n"
           "failed row, or one whose writer did not answer (\"no writer\"), failed;\n"
           "its time is its first row's, its cause its first failure's. A chip whose\n"
           "last row was refused (nothing was sent to it) is refused: it is counted\n"
           "apart and never lowers the yield. chips = passed + failed; yield =\n"
           "passed / (passed + failed). The hour is this computer's local hour. The\n"
           "station is the text of the run column before its last blank (the\n"
           "computer's name), \"unknown\" without a run; a writer is named with its\n"
           "station, \"unknown\" in a log without the writer column. A row without a\n"
           "body, lot or operator counts under \"(none)\".\n"
           "\n"
           "Cause of a failed chip: its failure text before the first ':', '(', ','\n"
           "or ';', less the words that hold a digit or are four hex digits (a port,\n"
           "a chip number, a rolling code), without blanks and '!' at its ends; so\n"
           "\"COM3 Connect Error (1)!!!\" is \"Connect Error\". With no text left, the\n"
           "verdict (\"fail\", \"no writer\").\n"
           "\n"
           "Rolling codes: a code shown by more than one chip, with each\n"
           "holder's station, writer, chip, time and verdict.\n"
           "\n"
           "Bad input: a row of another width than the header's, or whose time,\n"
           "verdict or numbers do not read, is left out with a warning on stderr\n"
           "naming the file and the line, and the report says how many were. A\n"
           "source that cannot be read (missing, no regular file, no production\n"
           "log's header, the record server not answering) stops the report: each\n"
           "is named on stderr, and no report is written.\n"
           "\n"
           "Exit status: 0 when the report was written, 1 when a source could not be\n"
           "read or the report not written, 2 for a usage error.\n";
}

int RunReport(const std::vector<std::string>& args, CliEnvironment& env, const RecordReader& reader) {
    ReportOptions o;
    const std::string complaint = ParseReportArgs(args, o);
    if (!complaint.empty()) {
        env.err << "otpwriter-cli report: " << complaint << "\nTry 'otpwriter-cli report --help'.\n";
        return 2;
    }
    if (o.help) {
        env.out << ReportUsage();
        return env.out ? 0 : 1;
    }

    const Report report = MakeReport(o.sources, env.workingDir, reader, o.window, o.from, o.to);
    const ReportInput& input = report.input;
    for (const std::string& warning : input.warnings) env.err << "otpwriter-cli report: warning: " << warning << "\n";
    for (const std::string& error : input.errors) env.err << "otpwriter-cli report: " << error << "\n";
    if (!input.errors.empty()) {
        env.err << "otpwriter-cli report: no report: " << input.errors.size()
                << (input.errors.size() == 1 ? " source" : " sources") << " could not be read\n";
        return 1;
    }

    // The page first: a text cut short by a closed pipe (| head) still leaves it.
    if (!o.html.empty()) {
        const std::string path = IsAbsolutePath(o.html) || env.workingDir.empty() ? o.html : env.workingDir + "/" + o.html;
        std::string error;
        if (!WriteReportPage(report, path, error)) {
            env.err << "otpwriter-cli report: cannot write the page " << o.html << ": " << error << "\n";
            return 1;
        }
    }
    WriteReportText(report.figures, report.heading, env.out);
    env.out.flush();
    if (!env.out) {
        env.err << "otpwriter-cli report: the output can not be written\n";
        return 1;
    }
    return 0;
}

}  // namespace otp
