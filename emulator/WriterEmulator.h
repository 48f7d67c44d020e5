#pragma once
// The writer box as the host sees it over its RS-232 line: 64 KiB of area-1
// memory and a command interpreter fed one byte at a time.
//
// Time is counted in whole microseconds on a clock the caller chooses (test
// time, or real time since the program started). The emulator models both
// directions of the 9600 baud 8N1 line itself:
//   - a byte the host hands to its port at time t is received once the line
//     has carried it: one byte time (10 bits / 9600 baud = 1041.67 us) after
//     t, or after the bytes still on the wire ahead of it;
//   - an answer is ready when the command that asks for it is complete, plus
//     the handler's processing delay; byte k of it (from 0) is available
//     (k + 1) byte times later, queued behind any earlier answer still on
//     the wire.
// Byte times of a run of back-to-back bytes are counted from the start of the
// run and rounded up to the next microsecond, so a byte is never seen before
// the line has carried it and long runs do not drift.
//
// A command that still waits for bytes is dropped when no byte arrives for
// kIdleUs (50 ms) of line time; what it stored before that stays stored.
// Command bytes with no handler are ignored.
//
// A fault plan (FaultPlan.h) can make the writer misbehave on chosen
// commands, down to dying: a dead writer takes no byte and sends none.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/FaultPlan.h"
#include "emulator/IcSocket.h"

namespace otp::emu {

class WriterEmulator;

// One command in progress. It is made when its command byte arrives, is fed
// the bytes that follow it one by one, and is dropped once it reports itself
// complete or the line goes idle while it waits.
class WriterCommand {
public:
    virtual ~WriterCommand() = default;
    // The command byte has arrived. Returns true when the command needs no
    // further bytes (it is complete at once).
    virtual bool Start(WriterEmulator& writer) {
        (void)writer;
        return false;
    }
    // A byte that followed the command byte. Returns true when complete.
    virtual bool Take(uint8_t byte, WriterEmulator& writer) = 0;
    // The line stayed idle for kIdleUs while this command waited for more;
    // it is dropped after this call. By default nothing happens.
    virtual void Idle(WriterEmulator& writer) { (void)writer; }
};

using CommandMaker = std::function<std::unique_ptr<WriterCommand>()>;

class WriterEmulator {
public:
    static constexpr size_t kMemorySize = 0x10000;
    // Area-1 addresses.
    static constexpr uint16_t kVersionAddr = 0x0400;   // 8 version digits
    static constexpr uint16_t kImageAddr = 0x4000;     // image from the host
    static constexpr uint16_t kOptionAddr = 0x7F80;    // 16 option bytes
    static constexpr uint16_t kBodyInfoAddr = 0x7F90;  // 16 BodyInfo bytes
    static constexpr uint16_t kIcImageAddr = 0x8000;   // image read from the IC
    static constexpr uint16_t kIcOptionAddr = 0xBF80;  // options read from the IC
    static constexpr size_t kVersionSize = 8;
    static constexpr size_t kOptionSize = 16;
    static constexpr size_t kBodyInfoSize = 16;

    // Line silence after which a waiting command is dropped.
    static constexpr int64_t kIdleUs = 50000;

    // Factory-default memory and the standard command set.
    WriterEmulator();

    // --- memory -----------------------------------------------------------
    // Every address wraps at 64 KiB.
    void ResetToFactory();
    uint8_t Peek(uint32_t addr) const { return memory_[addr & 0xFFFF]; }
    void Poke(uint32_t addr, uint8_t value) { memory_[addr & 0xFFFF] = value; }
    std::vector<uint8_t> ReadMemory(uint32_t addr, size_t length) const;
    void WriteMemory(uint32_t addr, const std::vector<uint8_t>& bytes);
    const std::array<uint8_t, kMemorySize>& Memory() const { return memory_; }
    // Whole-memory image from address 0: up to 65536 bytes replace the start
    // of memory, the rest keeps what it holds. Returns false (and changes
    // nothing) when there are more than 65536 bytes.
    bool LoadMemory(const std::vector<uint8_t>& bytes);

    // The writer keeps a checksum of what it holds in BodyInfo bytes 2 (low)
    // and 3 (high): the 16-bit sum of the image (the count of values the
    // held BodyInfo gives, up to the option bytes), the 16 option bytes and
    // the other 14 BodyInfo bytes. It is brought up to date after every
    // command, so whatever the host wrote into bytes 2-3 is replaced.
    uint16_t HeldChecksum() const;
    void KeepChecksum();

    // The image layout described by the BodyInfo the writer holds.
    bool ByteMode() const { return (Peek(kBodyInfoAddr + 4) & 0x80) != 0; }
    int ValueCount() const { return Peek(kBodyInfoAddr + 5) | (Peek(kBodyInfoAddr + 6) << 8); }
    int BytesPerValue() const { return ByteMode() ? 1 : 2; }

    // --- the line ---------------------------------------------------------
    // The host handed `byte` to its port at `sentUs`. The byte is processed at
    // once, as of the time the line delivers it.
    void Receive(uint8_t byte, int64_t sentUs);
    // Lets time pass to `nowUs`: a command waiting since before
    // nowUs - kIdleUs is dropped.
    void AdvanceTo(int64_t nowUs);
    // Removes and returns the answer bytes available by `untilUs`
    // (after AdvanceTo(untilUs)).
    std::vector<uint8_t> TakeReplies(int64_t untilUs);
    // When the next answer byte becomes available, if any is on its way.
    std::optional<int64_t> NextReplyUs() const;
    // The earliest time at which something happens without further input:
    // the next answer byte, the idle time-out of a waiting command, or the
    // death of the writer.
    std::optional<int64_t> NextEventUs() const;
    size_t PendingReplyCount() const { return replies_.size(); }
    // When the host-to-writer line has carried every byte handed to it so far.
    int64_t HostLineFreeUs() const { return toWriter_.FreeUs(lineTiming_); }
    // Whether a multi-byte command is waiting for more bytes.
    bool CommandWaiting() const { return static_cast<bool>(current_); }
    // Off: bytes take no line time in either direction, answers are available
    // as soon as they are ready. On by default.
    void SetLineTiming(bool on) { lineTiming_ = on; }
    bool LineTiming() const { return lineTiming_; }

    // Time (us, rounded up) that `bytes` back-to-back bytes take on the line.
    static int64_t LineTimeUs(int64_t bytes);

    // --- for command handlers ----------------------------------------------
    // Installs (or, with an empty maker, removes) the handler of a command byte.
    void SetCommand(uint8_t commandByte, CommandMaker maker);
    // The time of the event being handled: the arrival of the current byte,
    // or the moment a waiting command idled out.
    int64_t NowUs() const { return nowUs_; }
    // Queues an answer: ready `delayUs` after NowUs(), then byte by byte at
    // line speed behind any answer still on the wire. The faults that hit
    // the command in progress shape it first.
    void Reply(const std::vector<uint8_t>& bytes, int64_t delayUs = 0);
    // The writer is busy (storing, programming) for `durationUs` from NowUs():
    // bytes that arrive meanwhile are lost. Without line timing it is never busy.
    void BusyFor(int64_t durationUs);
    // A chip operation's working time (set-up, blank check, programming,
    // verify, read, copy, bank search, test code) at the writer's work
    // percentage: 100 is the modelled time, less a faster writer.
    int64_t WorkUs(int64_t us) const { return us * workPercent_ / 100; }
    void SetWorkPercent(int percent) { workPercent_ = percent < 0 ? 0 : percent; }
    // When the last byte of the last answer queued reaches the host.
    int64_t LastAnswerEndUs() const { return lastAnswerEndUs_; }
    bool BusyAt(int64_t us) const { return lineTiming_ && us < busyUntilUs_; }
    // The version text of the running firmware: the low hex digit of each of
    // the 8 version bytes.
    std::string VersionText() const;

    // --- faults (FaultPlan.h) -----------------------------------------------
    // Adds one fault, TARGET:KIND[=ARGS]; false, with the reason in `error`,
    // for a rule that is not one or names a command the writer does not have.
    bool AddFault(const std::string& rule, std::string& error);
    // Removes every fault; a writer that is dead stays dead.
    void ClearFaults() { faults_.Clear(); }
    // Seeds the random bytes of the faults (FaultPlan::kDefaultSeed until then).
    void SetFaultSeed(uint32_t seed) { faults_.SetSeed(seed); }
    // One line per fault injected, in order.
    const std::vector<std::string>& FaultReports() const { return faults_.Reports(); }
    // Also called with each report line as it is made.
    void SetFaultReporter(std::function<void(const std::string&)> reporter) {
        faults_.SetReporter(std::move(reporter));
    }
    // Told, one line each, when the writer drops a command because the line
    // went idle, and when it loses the first byte that comes while it is
    // busy: what a host that keeps the writer's pace never meets, so a line
    // here tells why such a host failed. Unset, nothing is told.
    void SetLineReporter(std::function<void(const std::string&)> reporter) { lineReporter_ = std::move(reporter); }

    // Whether the writer has died by the latest time it has been told of
    // (Receive, AdvanceTo, TakeReplies). Answer bytes that went out before
    // the death are still delivered.
    bool Dead() const { return deathUs_ && clockUs_ >= *deathUs_; }

    // --- the IC socket ----------------------------------------------------
    // Empty when the writer is made; the demo writer starts with a blank IC.
    IcSocket& Socket() { return socket_; }
    const IcSocket& Socket() const { return socket_; }

private:
    // A run of back-to-back bytes on one direction of the line.
    struct LineRun {
        int64_t startUs = 0;
        int64_t count = 0;
        // Queues one byte that may start no earlier than readyUs; returns the
        // time the line has carried it.
        int64_t Carry(int64_t readyUs, bool timed);
        int64_t FreeUs(bool timed) const;
    };
    struct TimedByte {
        int64_t atUs;
        uint8_t value;
    };

    void Dispatch(uint8_t byte);
    // A command ended (done, idled out or cut by death).
    void CommandEnded();
    void DropIfIdle(int64_t nowUs);
    // A dead writer finishes nothing it had begun.
    void DropIfDead();
    // The writer dies at `atUs`: answer bytes due later never go out.
    void Kill(int64_t atUs);

    std::array<uint8_t, kMemorySize> memory_{};
    std::map<uint8_t, CommandMaker> commands_;
    std::unique_ptr<WriterCommand> current_;
    int64_t lastArrivalUs_ = 0;
    int64_t nowUs_ = 0;
    int64_t latestSentUs_ = 0;
    int64_t busyUntilUs_ = 0;
    int64_t workPercent_ = 100;
    int64_t lastAnswerEndUs_ = 0;
    bool lineTiming_ = true;
    LineRun toWriter_;
    LineRun toHost_;
    std::deque<TimedByte> replies_;
    IcSocket socket_;
    FaultPlan faults_;
    int64_t clockUs_ = 0;  // latest time the writer has been told of
    std::optional<int64_t> deathUs_;
    int64_t deafUntilUs_ = INT64_MIN;
    std::function<void(const std::string&)> lineReporter_;
    uint8_t commandByte_ = 0;  // of the command in progress
    int commandBytesTaken_ = 0;
    int64_t busyReportedUntilUs_ = -1;
};

// The standard command set (block read, BodyInfo/option write, image
// stream, ...), installed by the constructor.
void InstallStandardCommands(WriterEmulator& writer);

}  // namespace otp::emu
