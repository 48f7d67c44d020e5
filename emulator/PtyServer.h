#pragma once
// Serves a WriterEmulator on a pseudo-terminal, so that a host opens the
// slave device as it would a serial port. The pty outlives every open and
// close of the host; answer bytes that fall due while no host holds the
// device, or that a host left unread when it closed it, are lost, as on a
// real line.
//
// When the writer dies the device goes away: the master is closed, so a
// host holding the slave sees a hang-up and a new open fails. The server
// then goes on taking its command lines until it is stopped.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator/WriterEmulator.h"

namespace otp::emu {

class PtyServer {
public:
    // With pacing the answer bytes are written when the line would have
    // carried them; without it the writer runs without line time and its
    // answers go out at once.
    PtyServer(WriterEmulator& writer, bool pacing);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pty with a raw 9600 8N1 line. On failure returns false and
    // describes it in `error`.
    bool Open(std::string& error);
    const std::string& DevicePath() const { return devicePath_; }

    // Serves until `stopFd` becomes readable (a signalfd of the stop
    // signals) or the line "quit" is read from `commandFd` (-1: no command
    // input; end of that input is not a stop). The other lines it takes
    // there: "ic KIND" puts an IC of that kind into the socket (IcKindName),
    // "status" describes the socket; both answer with the socket's status
    // line on standard output. "fault RULE" adds a fault to the writer,
    // "fault clear" removes them all.
    void Serve(int commandFd, int stopFd);

    // Called once, when the device has gone away with the dead writer.
    void SetGoneHandler(std::function<void()> handler) { goneHandler_ = std::move(handler); }

private:
    int64_t NowUs() const;
    // Reads what the host wrote; false when no host holds the device.
    bool ReadHost(int64_t nowUs);
    void WriteHost();
    // Returns true when the line "quit" was read.
    bool ReadCommands(int& commandFd);
    void TakeLine(const std::string& line);
    // Throws away answer bytes the last host left unread, so that the next
    // open starts with an empty input queue as a real port does.
    void DropUnread();
    void TakeFaultLine(const std::string& rule);
    // Closes the device of a dead writer once the host has read the last
    // bytes that went out, or has had its time to.
    void BuryWhenRead(int64_t nowUs);

    WriterEmulator& writer_;
    bool pacing_;
    int master_ = -1;
    bool held_ = false;
    bool waiting_ = false;  // host bytes may be queued behind the last one taken
    std::string devicePath_;
    int64_t startNs_ = 0;
    std::vector<uint8_t> outgoing_;
    std::string commandText_;
    std::function<void()> goneHandler_;
    int64_t diedUs_ = 0;
    int64_t buryByUs_ = -1;
    int lingerFd_ = -1;  // the slave, to see whether the host has read
};

}  // namespace otp::emu
