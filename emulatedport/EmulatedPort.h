#pragma once
// The emulated writer as a serial port of this process: bytes written go to a
// shared WriterEmulator stamped with the pacer's clock, and a drain takes the
// answer bytes the line has carried by then. Used by the tests (virtual
// time) and by the demo mode of the front ends (real time).
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/WriterEmulator.h"
#include "link/Pacer.h"
#include "link/SerialPort.h"
#include "link/WriterLine.h"

namespace otp::emu {

class EmulatedPort : public SerialPort, private PortWake {
public:
    // Answer bytes that reached the line end before the port was opened are
    // lost, as on a real line, unless `keptWhileClosed` (a USB adapter that
    // keeps what comes while no program holds its port).
    EmulatedPort(std::shared_ptr<WriterEmulator> writer, const Pacer& pacer, bool keptWhileClosed = false);

    // The line takes every byte; a dead writer simply never hears it.
    bool WriteByte(uint8_t byte) override;
    bool WaitSent(Pacer& pacer) override;
    // The answer bytes available by the pacer's now; never waits. A dead
    // writer delivers what went out before its death, then nothing.
    std::vector<uint8_t> TakeArrived() override;
    bool DiscardInput() override;
    // The port signals its waiters by when the writer's next answer byte is
    // due, so a wait jumps (virtual time) or sleeps (real time) to it.
    PortWake* Wake() override { return this; }

private:
    std::optional<int64_t> NextByteMs() override;
    bool AwaitByte(int timeoutMs) override;
    int64_t NowUs() const { return pacer_.NowMs() * 1000; }

    std::shared_ptr<WriterEmulator> writer_;
    const Pacer& pacer_;
};

// Opens EmulatedPorts, all on the same writer, so its memory outlives every
// port. Any port name opens, unless it has been told to fail or the writer
// has died (OpenError, as for a device that has gone away).
class EmulatedPortOpener : public PortOpener {
public:
    EmulatedPortOpener(std::shared_ptr<WriterEmulator> writer, const Pacer& pacer);

    // On success `port` holds a new EmulatedPort; on failure it is emptied.
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;

    // From now on, opening `portName` gives `result` and no port
    // (OpenResult::Ok makes the name open normally again).
    void FailOpen(const std::string& portName, OpenResult result = OpenResult::OpenError);
    // Number of Open calls so far, successful or not.
    int OpenCount() const { return openCount_; }
    // From now on, a port opened finds the bytes that came while none was
    // open, as behind a USB adapter.
    void KeepBytesWhileClosed(bool on) { keepWhileClosed_ = on; }

    WriterEmulator& Writer() { return *writer_; }
    const std::shared_ptr<WriterEmulator>& SharedWriter() const { return writer_; }

private:
    std::shared_ptr<WriterEmulator> writer_;
    const Pacer& pacer_;
    std::map<std::string, OpenResult> failures_;
    int openCount_ = 0;
    bool keepWhileClosed_ = false;
};

// A writer as it leaves the factory: version 12071000, ByteMode BodyInfo with
// 1024 values, everything else 0xFF; a blank IC in its socket.
std::shared_ptr<WriterEmulator> MakeDemoWriter();
// An opener on a fresh demo writer, stamped with `pacer`'s clock.
std::unique_ptr<EmulatedPortOpener> MakeDemoOpener(const Pacer& pacer);
// The `index`th emulated writer of a station, in real time, with a fresh
// blank chip at every call of its freshChip. The writers' rolling-code
// counters start apart, as writers set up one by one would.
WriterLine MakeDemoLine(size_t index);

}  // namespace otp::emu
