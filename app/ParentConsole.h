#pragma once
// The console a window program was started from, for what it prints on the
// command line (--help, --version, a usage error).

namespace otp {

// On Windows the window is a program of the GUI subsystem: it gets no console
// of its own, and its standard output and error lead nowhere unless they were
// redirected. Those that lead nowhere are opened on the console of the
// program that started it, if that has one. Elsewhere the standard streams
// are the terminal's already, and nothing is done.
void ReachParentConsole();

}  // namespace otp
