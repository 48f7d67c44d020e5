#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "cli/CliRunner.h"
#include "config/PathLookup.h"

int main(int argc, char** argv) {
    // A closed output ends the run after the current step, never in the middle
    // of a stream to the writer.
    signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    otp::CliEnvironment env{std::cout, std::cerr, otp::CurrentDirectory(), isatty(STDERR_FILENO) != 0};
    env.in = &std::cin;
    env.inIsTerminal = isatty(STDIN_FILENO) != 0;
    env.catchInterrupt = true;
    return otp::RunCli(args, env);
}
