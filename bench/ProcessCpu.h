#pragma once
// The CPU time a process still running has used so far.
#include <sys/types.h>

namespace otp::bench {

// User + system time of every thread of `pid`, ended ones included, in ms
// (to the kernel's clock tick, 10 ms); -1 when it cannot be read.
double ProcessCpuMs(pid_t pid);

}  // namespace otp::bench
