#include "bench/ProcessCpu.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace otp::bench {

double ProcessCpuMs(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(file, stat)) return -1;
    // The name in parentheses may hold spaces; the fields after it are
    // state, ppid, ... with utime and stime the 12th and 13th.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 0; i < 11; ++i) fields >> field;
    long long utime = 0, stime = 0;
    if (!(fields >> utime >> stime)) return -1;
    return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace otp::bench
