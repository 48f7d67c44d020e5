#pragma once
// The console front end: does what the window's creation does, then runs its
// steps in order.
#include <csignal>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/Pacer.h"
#include "link/SerialPort.h"
#include "station/StationWriter.h"

namespace otp {

struct CliEnvironment {
    std::ostream& out;
    std::ostream& err;
    std::string workingDir;
    bool stderrIsTerminal = false;
    // Left empty, the front end uses real serial ports (or the emulated
    // writer with --demo) and real time.
    PortOpener* opener = nullptr;
    Pacer* pacer = nullptr;
    // The operator's answers in the chip loop; none: the loop runs one chip.
    std::istream* in = nullptr;
    bool inIsTerminal = false;
    // Puts a fresh blank chip into the socket of a writer given as `opener`
    // (with --demo the front end does it in its own emulated writer).
    std::function<void()> freshChip = nullptr;
    // Ctrl-C ends the chip loop after the current chip instead of the program.
    bool catchInterrupt = false;
    // With several writers: stdout shares the terminal with stderr's live lines.
    bool stdoutIsTerminal = false;
    // With several writers, each writer's line and clock; left empty, real
    // serial ports (or an emulated writer each with --demo) and real time.
    std::function<WriterLine(const std::string& port)> writerLine = nullptr;
};

// Exit status: 0 when everything ran without a failure or refusal, 1 when
// something failed or was refused, 2 for a usage error.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

std::string CliUsage();

struct CliOptions;
class ChipLedger;
struct WriterState;
// Every record goes to the record server too when --record or Writer.ini's
// PRODUCTION_RECORD names one; false with `error` when it cannot be reached.
bool OpenRecordServer(const CliOptions& o, const WriterState& state, CliEnvironment& env, ChipLedger& ledger,
                      std::string& error);
// The run's last line, with what the line's record holds only on this
// computer when it ends (records still in the spool: how many, where).
std::string WithRecordsOnlyHere(std::string lastLine, ChipLedger& ledger);

}  // namespace otp
