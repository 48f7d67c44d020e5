// A production line in real time: writer-emulator on a pseudo-terminal, the
// console front end on its serial code, and a person putting the next chip
// into the socket through the emulator's standard input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

const char kEmulator[] = OTP_BINARY_DIR "/writer-emulator";
const char kCli[] = OTP_BINARY_DIR "/otpwriter-cli";

// A 64-byte body with short waits, and an image for it.
const char kIni[] =
    "VERSION 12071000 V5.00\n"
    "RS232_PORT COM1\n"
    "IC_BODY_START\n"
    "BODY TINY64\n"
    "BNK_DLY 5\n"
    "PRG_DLY 30\n"
    "VER_DLY 5\n"
    "CPY_DLY 10\n"
    "OBJ_DLY 0\n"
    "OFFSET 0\n"
    "INFO $A5,0,0,0,$80,64,0,0,$80,0,0,0,0,0,0,0\n"
    "OPT\n"
    "0 00 00 BODY TINY64\n"
    "0 00 00 OPTION END\n"
    "IC_BODY_END\n";

std::string RomText() {
    std::ostringstream rom;
    rom << "BODY TINY64\r\nOPTION END\r\nMORVIK_BYTE 0000000000000000\r\nROM START\r\nBANK 0\r\n"
           "STARTADR 0000\r\nENDADR 003F\r\nLENGTH 00064 BYTE\r\n";
    int sum = 0;
    for (int row = 0; row < 4; ++row) {
        char label[8];
        std::snprintf(label, sizeof label, "%04X ", row * 16);
        rom << label;
        for (int k = 0; k < 16; ++k) {
            const int v = ((row * 16 + k) * 7 + 1) & 0xFF;
            sum += v;
            char value[4];
            std::snprintf(value, sizeof value, " %02X", v);
            rom << value;
        }
        rom << " \r\n";
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%04X", sum & 0xFFFF);
    rom << "CHECKSUM " << checksum << "\r\nBANK 0 END\r\nROM END\r\n";
    return rom.str();
}

struct CliRun {
    int status = -1;
    std::vector<std::string> lines;  // stdout and stderr together
};

// Runs otpwriter-cli in `dir` with COM1 on `device`.
CliRun RunCli(const std::string& dir, const std::string& device, const std::string& args) {
    const std::string command = "cd '" + dir + "' && OTPWRITER_COM1='" + device + "' '" + kCli + "' " + args + " 2>&1";
    CliRun run;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return run;
    std::string text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) run.lines.push_back(line);
    return run;
}

bool Has(const CliRun& run, const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

// writer-emulator as a child, its standard input and output on pipes.
class Emulator {
public:
    ~Emulator() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
    }

    bool Start(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(kEmulator)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(kEmulator, argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        return pid_ > 0;
    }

    // The next line of its output, without the line end; empty after 5 s.
    std::string ReadLine() {
        std::string line;
        const auto t0 = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5)) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c;
            if (read(out_, &c, 1) != 1) break;
            if (c == '\n') return line;
            line.push_back(c);
        }
        return line;
    }

    // Everything it writes until it ends.
    std::string ReadAll() {
        std::string text;
        char buf[1024];
        for (ssize_t n; (n = read(out_, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
        return text;
    }

    std::string Say(const std::string& line) {
        const std::string text = line + "\n";
        if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
        return line == "quit" ? std::string() : ReadLine();
    }

    int WaitExit() {
        for (int i = 0; i < 250; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(20000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};

class OtpEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Writer.ini", kIni);
        dir.Write("x.rom", RomText());
    }
    otp::test::TempDir dir;
    std::string link() const { return dir.file("ttyWriter"); }
};

}  // namespace

TEST_F(OtpEndToEnd, AProductionRunPassesOnABlankIcAndTheSameIcThenFailsTheBlankCheck) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "blank"}));
    ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);

    CliRun run = RunCli(dir.path(), link(), "load x.rom auto");
    EXPECT_EQ(run.status, 0);
    ASSERT_GE(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[run.lines.size() - 3], "  -----> OTP Program Finish !!!");
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");
    EXPECT_TRUE(Has(run, "  -----> OTP Blank Check OK !!!"));

    run = RunCli(dir.path(), link(), "auto");
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "  -----> OTP Blank Check Fail !!!");
    EXPECT_FALSE(Has(run, "Programming ................"));

    // The operator puts the next chip in; the writer still holds the image.
    EXPECT_EQ(emu.Say("status"), "socket: programmed; body 00; banks used: 0; test code: FFFF FFFF; next rolling code: 0100");
    EXPECT_EQ(emu.Say("ic blank"), "socket: blank; body any; banks used: none; test code: FFFF FFFF; next rolling code: 0100");
    run = RunCli(dir.path(), link(), "auto verify");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");

    emu.Say("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, EachSocketStateGivesItsFailure) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "none", "--no-pacing"}));
    ASSERT_FALSE(emu.ReadLine().empty());

    // The writer takes the configured body first; the ICs put in later belong to it.
    CliRun run = RunCli(dir.path(), link(), "body 0 read");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Say("ic wrong-body");
    run = RunCli(dir.path(), link(), "blank read");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run, "  -----> OTP Blank Check Fail !!!"));
    EXPECT_EQ(run.lines.back(), "  -----> IC Body code (Test code) compare error !!!");

    emu.Say("ic locked");
    run = RunCli(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> Master OTP has been Lock !!!");

    emu.Say("ic fault");
    run = RunCli(dir.path(), link(), "copy");
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Say("ic programmed");
    run = RunCli(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run, "Receiver Data Length = 64 bytes"));

    emu.Say("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, TheSocketOptionIsCheckedAndDescribed) {
    Emulator bad;
    ASSERT_TRUE(bad.Start({"--ic", "purple"}));
    EXPECT_EQ(bad.ReadAll(), "");
    EXPECT_EQ(bad.WaitExit(), 2);

    Emulator help;
    ASSERT_TRUE(help.Start({"--help"}));
    const std::string text = help.ReadAll();
    EXPECT_EQ(help.WaitExit(), 0);
    for (const char* word : {"--ic KIND", "wrong-body", "fault", "ic KIND", "status"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}
