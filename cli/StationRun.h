#pragma once
// The console front end with several writers (--writers): the start-up and
// every step on every writer at once, the chip loop in rounds of one chip a
// socket, each writer's trouble its own.
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"

namespace otp {

// Exit status as RunCli's: 0 when every writer ran every step and every chip
// passed, 1 otherwise (a writer stopped, a chip failed, a signal), never 2:
// the options were checked before.
int RunStation(const CliOptions& o, CliEnvironment& env);

}  // namespace otp
