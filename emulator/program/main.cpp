// writer-emulator: a software writer box on a pseudo-terminal.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/IcAccess.h"
#include "emulator/PtyServer.h"
#include "emulator/WriterEmulator.h"

namespace {

const char kUsage[] =
    "Usage: writer-emulator [options]\n"
    "Serves an emulated OTP writer box on a pseudo-terminal (9600 8N1) and prints\n"
    "the device path as the first line of its output. Runs until SIGTERM, SIGINT\n"
    "or the line \"quit\" on standard input.\n"
    "\n"
    "  --link PATH     make PATH a symbolic link to the device (an existing link\n"
    "                  is replaced); removed again at exit\n"
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
    "  --help          show this text\n"
    "\n"
    "Lines on standard input:\n"
    "  ic KIND         put an IC into the socket (the next chip of a run), KIND as\n"
    "                  for --ic; answers with the status line\n"
    "  status          print one line on what the socket holds\n"
    "  quit            stop\n";

struct Options {
    std::string link;
    std::string memory;
    std::string dump;
    otp::emu::IcKind ic = otp::emu::IcKind::Blank;
    bool pacing = true;
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
        if (arg == "--no-pacing" && !hasValue) {
            opt.pacing = false;
            continue;
        }
        if (arg == "--link" || arg == "--memory" || arg == "--dump" || arg == "--ic") {
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

bool IsSymlink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool MakeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::cerr << "writer-emulator: " << link << " exists and is not a symbolic link\n";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::cerr << "writer-emulator: cannot link " << link << ": " << std::strerror(errno) << "\n";
        return false;
    }
    return true;
}

// Removes the link only while it still leads to our device.
void RemoveLink(const std::string& link, const std::string& target) {
    if (!IsSymlink(link)) return;
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0) return;
    buf[n] = '\0';
    if (target == buf) unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const int parsed = ParseArgs(argc, argv, opt)) return parsed - 1;

    otp::emu::WriterEmulator writer;
    if (!opt.memory.empty() && !LoadMemoryFile(opt.memory, writer)) return 1;
    otp::emu::PutInSocket(writer, opt.ic);

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
    if (!opt.link.empty() && !MakeLink(opt.link, server.DevicePath())) return 1;

    std::cout << server.DevicePath() << std::endl;

    server.Serve(STDIN_FILENO, stopFd);

    int status = 0;
    if (!opt.link.empty()) RemoveLink(opt.link, server.DevicePath());
    if (!opt.dump.empty() && !DumpMemoryFile(opt.dump, writer)) status = 1;
    return status;
}
