#include <signal.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>

#include "cli/CliRunner.h"
#include "config/PathLookup.h"
#include "config/StandardStreams.h"
#ifdef _WIN32
#include "config/WindowsText.h"
#endif

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard descriptor would be the port's.
    if (!otp::OpenStandardStreams()) return 1;
#ifdef _WIN32
    // Windows has no SIGPIPE: a closed output fails the write, which ends the
    // run after the current step as below.
    const bool stderrIsTerminal = _isatty(_fileno(stderr)) != 0;
#else
    // A closed output ends the run after the current step, never in the middle
    // of a stream to the writer.
    signal(SIGPIPE, SIG_IGN);
    const bool stderrIsTerminal = isatty(STDERR_FILENO) != 0;
#endif
#ifdef _WIN32
    const std::vector<std::string> args = otp::ProgramArguments(argc, argv);
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    otp::CliEnvironment env{std::cout, std::cerr, otp::CurrentDirectory(), stderrIsTerminal};
    env.in = &std::cin;
    env.inIsTerminal = isatty(STDIN_FILENO) != 0;
    env.catchInterrupt = true;
    env.stdoutIsTerminal = isatty(STDOUT_FILENO) != 0;
    return otp::RunCli(args, env);
}
