// writer-emulator: a software writer box on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "emulator/DeviceLink.h"
#include "emulator/IcAccess.h"
#include "emulator/PtyServer.h"
#include "emulator/WriterEmulator.h"
#include "version/ProgramVersion.h"

namespace {

const char kUsage[] =
    "Usage: writer-emulator [options]\n"
    "Serves an emulated OTP writer box on a pseudo-terminal (9600 8N1) and prints\n"
    "the device path as the first line of its output. Runs until SIGTERM, SIGINT\n"
    "or the line \"quit\" on standard input.\n"
    "\n"
    "  --link PATH     make PATH a symbolic link to the device (an existing link\n"
    "                  is replaced); removed again at exit or when the writer\n"
    "                  dies. PATH.lock keeps a second writer-emulator off the\n"
    "                  link: it exits with status 2\n"
    "  --memory FILE   initial area-1 memory: up to 65536 raw bytes from address 0;\n"
    "                  memory beyond the file keeps its factory contents\n"
    "  --dump FILE     write the 65536 bytes of area-1 memory to FILE at exit\n"
    "  --ic KIND       what the socket holds at start (default blank):\n"
    "                  none        empty socket\n"
    "                  blank       a new IC\n"
    "                  programmed  an IC programmed with a master pattern in bank 0\n"
    "                  locked      the same, locked\n"
    "                  wrong-body  an IC of another body than the writer holds\n"
    "                  fault       an IC the writer cannot reach (pins, jumpers)\n"
    "                  programmed and locked ICs belong to the body the writer\n"
    "                  holds at start (see --memory)\n"
    "  --no-pacing     answer at once instead of at 9600 baud line speed\n"
    "  --fault RULE    make the writer misbehave (repeatable; see Faults)\n"
    "  --seed N        seed of the faults' random bytes (default 1)\n"
    "  --work PERCENT  the chip operations' working time, in percent of the\n"
    "                  modelled one (default 100; 0 answers at once, 200 takes\n"
    "                  twice as long)\n"
    "  --rolling-code HEX\n"
    "                  the first word of the next rolling code the writer gives\n"
    "                  (default 0100); each chip programmed with rolling code takes\n"
    "                  eight words. Two writers given the same one give the same\n"
    "                  codes, as writers whose counters were set alike would\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n"
    "\n"
    "Lines on standard input:\n"
    "  ic KIND         put an IC into the socket (the next chip of a run), KIND as\n"
    "                  for --ic; answers with the status line\n"
    "  rolling-code HEX\n"
    "                  set the writer's next rolling code (set back, it gives a\n"
    "                  code again); answers with the status line\n"
    "  status          print one line on what the socket holds\n"
    "  fault RULE      add a fault; answers \"fault added: RULE\"\n"
    "  fault clear     remove every fault; answers \"faults cleared\"\n"
    "  quit            stop\n"
    "\n"
    "Faults: RULE is TARGET:KIND[=ARGS]. TARGET is a command letter (W u w m c e\n"
    "g k i Q S U o) or * for any command; TARGET#N hits only the Nth occurrence\n"
    "counted from when the fault is added, else every one. Only a byte that\n"
    "starts a command is an occurrence.\n"
    "  silent          no answer at all\n"
    "  late=MS         the whole answer MS ms later\n"
    "  tail=K,MS       answer bytes from index K on MS ms later\n"
    "  truncate=K      only the first K answer bytes\n"
    "  extra=N         N random bytes after the answer\n"
    "  flood=N         N random bytes instead of the answer\n"
    "  garbage         the answer's bytes replaced by random bytes\n"
    "  corrupt=K       answer byte K xor a random non-zero value\n"
    "  lose=K          host byte K of the command lost (0 the command byte)\n"
    "  deaf=MS         nothing received for MS ms after the command byte\n"
    "  die[=K]         the writer dies after K answer bytes went out (default 0)\n"
    "  die-rx=K        the writer dies after taking K bytes from the command byte\n"
    "                  (1: right after it)\n"
    "Faults on the answer are reported, and do nothing, on a command without one.\n"
    "Each fault injected is reported on standard error as \"writer-emulator:\n"
    "fault REPORT\". A dead writer's device goes away; the program keeps reading\n"
    "its standard input until quit or a signal.\n";

struct Options {
    std::string link;
    std::string memory;
    std::string dump;
    otp::emu::IcKind ic = otp::emu::IcKind::Blank;
    bool pacing = true;
    std::vector<std::string> faults;
    uint32_t seed = otp::emu::FaultPlan::kDefaultSeed;
    int workPercent = 100;
    std::optional<uint16_t> rollingCode;
};

// Returns 0 when the program should go on, otherwise the exit status + 1.
int ParseArgs(int argc, char** argv, Options& opt) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--help" && !hasValue) {
            std::cout << kUsage;
            return 1;
        }
        if (arg == "--version" && !hasValue) {
            std::cout << "writer-emulator " << otp::kProgramVersion << "\nBuilt " << otp::kBuildDate << ".\n";
            return 1;
        }
        if (arg == "--no-pacing" && !hasValue) {
            opt.pacing = false;
            continue;
        }
        if (arg == "--link" || arg == "--memory" || arg == "--dump" || arg == "--ic" || arg == "--fault" ||
            arg == "--seed" || arg == "--work" || arg == "--rolling-code") {
            if (!hasValue) {
                if (i + 1 >= argc) {
                    std::cerr << "writer-emulator: " << arg << " needs a value\n" << kUsage;
                    return 3;
                }
                value = argv[++i];
            }
            if (value.empty()) {
                std::cerr << "writer-emulator: " << arg << " needs a non-empty value\n";
                return 3;
            }
            if (arg == "--ic") {
                const auto kind = otp::emu::ParseIcKind(value);
                if (!kind) {
                    std::cerr << "writer-emulator: --ic takes " << otp::emu::kIcKindList << ", not " << value << "\n";
                    return 3;
                }
                opt.ic = *kind;
                continue;
            }
            if (arg == "--rolling-code") {
                opt.rollingCode = otp::emu::ParseRollingCode(value);
                if (!opt.rollingCode) {
                    std::cerr << "writer-emulator: --rolling-code takes 1 to 4 hex digits, not " << value << "\n";
                    return 3;
                }
                continue;
            }
            if (arg == "--fault") {
                opt.faults.push_back(value);
                continue;
            }
            if (arg == "--work") {
                if (value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos) {
                    std::cerr << "writer-emulator: --work takes a percentage from 0 to 99999, not " << value << "\n";
                    return 3;
                }
                opt.workPercent = std::stoi(value);
                continue;
            }
            if (arg == "--seed") {
                char* end = nullptr;
                errno = 0;
                const unsigned long long seed = std::strtoull(value.c_str(), &end, 10);
                if (*end != '\0' || value[0] == '-' || errno != 0 || seed > UINT32_MAX) {
                    std::cerr << "writer-emulator: --seed takes a number from 0 to " << UINT32_MAX << ", not " << value
                              << "\n";
                    return 3;
                }
                opt.seed = static_cast<uint32_t>(seed);
                continue;
            }
            (arg == "--link" ? opt.link : arg == "--memory" ? opt.memory : opt.dump) = value;
            continue;
        }
        std::cerr << "writer-emulator: unknown argument " << argv[i] << "\n" << kUsage;
        return 3;
    }
    return 0;
}

bool LoadMemoryFile(const std::string& path, otp::emu::WriterEmulator& writer) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "writer-emulator: cannot read " << path << "\n";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!writer.LoadMemory(bytes)) {
        std::cerr << "writer-emulator: " << path << " holds more than 65536 bytes\n";
        return false;
    }
    return true;
}

bool DumpMemoryFile(const std::string& path, const otp::emu::WriterEmulator& writer) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto& memory = writer.Memory();
    out.write(reinterpret_cast<const char*>(memory.data()), static_cast<std::streamsize>(memory.size()));
    out.close();
    if (!out) {
        std::cerr << "writer-emulator: cannot write " << path << "\n";
        return false;
    }
    return true;
}

// Opens /dev/null on each of descriptors 0, 1 and 2 that is not open, so
// that neither the pty nor a file takes one of them: the device path printed
// on standard output would otherwise go into the pty, to the host.
bool OpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            if (opened >= 0) close(opened);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!OpenStandardStreams()) return 1;
    Options opt;
    if (const int parsed = ParseArgs(argc, argv, opt)) return parsed - 1;

    otp::emu::WriterEmulator writer;
    writer.SetFaultSeed(opt.seed);
    writer.SetWorkPercent(opt.workPercent);
    for (const std::string& rule : opt.faults) {
        std::string error;
        if (!writer.AddFault(rule, error)) {
            std::cerr << "writer-emulator: bad fault \"" << rule << "\": " << error << "\n";
            return 2;
        }
    }
    writer.SetFaultReporter([](const std::string& report) { std::cerr << "writer-emulator: fault " << report << std::endl; });
    writer.SetLineReporter([](const std::string& report) { std::cerr << "writer-emulator: " << report << std::endl; });
    if (!opt.memory.empty() && !LoadMemoryFile(opt.memory, writer)) return 1;
    otp::emu::PutInSocket(writer, opt.ic);
    if (opt.rollingCode) writer.Socket().SetNextRollingCode(*opt.rollingCode);

    std::optional<otp::emu::DeviceLink> link;
    if (!opt.link.empty()) {
        link.emplace(opt.link);
        std::string message;
        const auto claim = link->Lock(message);
        if (claim != otp::emu::DeviceLink::Claim::Ok) {
            std::cerr << "writer-emulator: " << message << "\n";
            return claim == otp::emu::DeviceLink::Claim::Held ? 2 : 1;
        }
    }

    // SIGINT and SIGTERM arrive as a readable descriptor the server waits on,
    // so a stop is never lost between a check and a wait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    signal(SIGPIPE, SIG_IGN);

    otp::emu::PtyServer server(writer, opt.pacing);
    std::string error;
    if (!server.Open(error)) {
        std::cerr << "writer-emulator: " << error << "\n";
        return 1;
    }
    if (link && !link->Make(server.DevicePath(), error)) {
        std::cerr << "writer-emulator: " << error << "\n";
        return 1;
    }
    server.SetGoneHandler([&] {
        if (link) link->Remove();
        std::cerr << "writer-emulator: the writer is dead; " << server.DevicePath() << " has gone away" << std::endl;
    });

    std::cout << server.DevicePath() << std::endl;

    server.Serve(STDIN_FILENO, stopFd);

    int status = 0;
    if (!opt.dump.empty() && !DumpMemoryFile(opt.dump, writer)) status = 1;
    return status;
}
