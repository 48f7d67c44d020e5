#pragma once
// Running the console front end in tests: in-process on the emulated writer
// with test time, or as the built program in a folder of its own.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>

#include "ChildProcess.h"
#endif

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/CliRunner.h"
#include "emulatedport/EmulatedPort.h"
#include "production/ChipRecord.h"
#include "production/LogHistory.h"

namespace otp::test {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The field `column` ("writer", "verdict", ...) of a production log's line
// as this program writes it; empty when the line has no such field.
inline std::string LogField(const std::string& line, const std::string& column) {
    std::vector<std::vector<std::string>> rows;
    CsvReader reader;
    reader.Feed(line.data(), line.size(), rows);
    reader.Finish(rows);
    const std::vector<std::string>& names = CsvHeaderFields();
    const size_t at = static_cast<size_t>(std::find(names.begin(), names.end(), column) - names.begin());
    return rows.size() == 1 && at < rows[0].size() ? rows[0][at] : std::string();
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline bool HasLine(const std::string& text, const std::string& line) { return Contains(Lines(text), line); }

// A console's closing FAIL line that says what went wrong: not only that a
// step did not pass, and not a length or dump line that says what came.
inline bool NamesItsCause(const std::string& last) {
    if (last.rfind("FAIL: ", 0) != 0) return false;
    const std::string cause = last.substr(6);
    for (const char* vague : {"did not pass", "Receiver Data Length", "Checksum ="})
        if (cause.find(vague) != std::string::npos) return false;
    // A dump row ("0010: ...") or a mismatch line ("052B--2D FF").
    const bool dataLine = cause.size() > 5 && cause.find_first_not_of("0123456789ABCDEF") == 4 &&
                          (cause[4] == ':' || cause.compare(4, 2, "--") == 0);
    return cause.size() > 3 && !dataLine;
}

// The console front end in this process, on a demo writer and test time.
class CliInProcessTest : public ::testing::Test {
protected:
    TempDir dir;
    VirtualPacer pacer;
    std::unique_ptr<emu::EmulatedPortOpener> opener = emu::MakeDemoOpener(pacer);
    std::ostringstream out, err;

    // One run of the program on the same writer; the output of earlier runs is dropped.
    int Run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        CliEnvironment env{out, err, dir.path()};
        env.opener = opener.get();
        env.pacer = &pacer;
        return RunCli(args, env);
    }
    std::vector<std::string> Out() const { return Lines(out.str()); }
};

struct CliRun {
    int status = -1;
    std::string out;  // stdout and stderr together
    std::vector<std::string> lines;  // without the closing verdict line
    std::string verdict;             // "PASS", "PASS: ..." or "FAIL: ..."
    bool Has(const std::string& line) const { return Contains(lines, line); }
};

#ifndef _WIN32
// Runs the built otpwriter-cli in `dir` with COM1 on `device` (a POSIX
// shell's command line; the end-to-end suites that use it are not built for
// Windows).
inline CliRun RunCliProgram(const std::string& dir, const std::string& device, const std::string& args) {
    const std::string command = "cd '" + dir + "' && OTPWRITER_COM1='" + device + "' " + FavouredCommand() +
                                "'" OTP_BINARY_DIR "/otpwriter-cli' " + args + " 2>&1";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) run.out.append(buf, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.lines = Lines(run.out);
    if (!run.lines.empty() && (run.lines.back() == "PASS" || run.lines.back().rfind("PASS: ", 0) == 0 ||
                               run.lines.back().rfind("FAIL: ", 0) == 0)) {
        run.verdict = run.lines.back();
        run.lines.pop_back();
    }
    return run;
}
#endif

}  // namespace otp::test
