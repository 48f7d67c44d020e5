// The built console front end with its stderr on a terminal, where it draws
// the progress bar.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

using namespace otp::test;

namespace {

struct TerminalRun {
    int status = -1;  // -1: it did not end in time, or did not start
    std::string terminal;  // what it wrote to the terminal
};

// Runs otpwriter-cli in `dir`, stdout on /dev/null and stderr on a
// pseudo-terminal; killed after `timeoutMs`.
TerminalRun RunOnTerminal(const std::string& dir, const std::vector<std::string>& args, int timeoutMs = 60000) {
    TerminalRun run;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return run;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        close(master);
        return run;
    }
    const std::string slave = ptsname(master);
    const std::string program = OTP_BINARY_DIR "/otpwriter-cli";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int tty = open(slave.c_str(), O_RDWR | O_NOCTTY);
        const int null = open("/dev/null", O_RDWR);
        if (tty < 0 || null < 0 || chdir(dir.c_str()) != 0) _exit(127);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(tty, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    const auto t0 = Clock::now();
    // The master reads EIO once the child's end of the terminal is closed.
    while (pid > 0 && MsSince(t0) < timeoutMs) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.terminal.append(buf, static_cast<size_t>(n));
    }
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
        if (MsSince(t0) >= timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        usleep(2000);
    }
    if (pid > 0 && status != -1) run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    close(master);
    return run;
}

}  // namespace

TEST(CliTerminalTest, BlankCheckDrawsTheProgressBarToItsEnd) {
    TempDir dir;
    std::filesystem::copy_file(SourcePath("examples/Writer.ini"), dir.file("Writer.ini"));
    const TerminalRun r = RunOnTerminal(dir.path(), {"--demo", "blank"});
    EXPECT_EQ(r.status, 0) << r.terminal;
    EXPECT_NE(r.terminal.find("\r[####"), std::string::npos) << r.terminal;
    EXPECT_NE(r.terminal.find("] 100%"), std::string::npos) << r.terminal;
}
