#pragma once
// The operations on the IC, run against the emulated writer with a blank IC
// in its socket after a start-up on the example Writer.ini (RX4400 selected).
// The trace also shows every byte the host writes ("Send 63") and every
// drain with its byte count ("Drain 1"), so that the order of lines and
// bytes can be checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "OperationFixture.h"
#include "emulator/IcAccess.h"
#include "operations/Selectors.h"
#include "operations/Startup.h"
#include "view/HexText.h"

namespace otp::test {

// Puts the writes and drains of the ports into the trace.
class TracingOpener : public PortOpener {
public:
    TracingOpener(PortOpener& inner, std::vector<std::string>& trace) : inner_(inner), trace_(trace) {}

    OpenResult Open(const std::string& name, std::unique_ptr<SerialPort>& port) override {
        const OpenResult r = inner_.Open(name, port);
        if (port) port = std::make_unique<Port>(std::move(port), trace_);
        return r;
    }

private:
    class Port : public SerialPort {
    public:
        Port(std::unique_ptr<SerialPort> inner, std::vector<std::string>& trace) : inner_(std::move(inner)), trace_(trace) {}
        bool WriteByte(uint8_t b) override {
            trace_.push_back("Send " + FormatHex(b, 2));
            return inner_->WriteByte(b);
        }
        bool WaitSent(Pacer& pacer) override { return inner_->WaitSent(pacer); }
        std::vector<uint8_t> TakeArrived() override {
            std::vector<uint8_t> got = inner_->TakeArrived();
            trace_.push_back("Drain " + std::to_string(got.size()));
            return got;
        }

        bool DiscardInput() override { return inner_->DiscardInput(); }
        PortWake* Wake() override { return inner_->Wake(); }

    private:
        std::unique_ptr<SerialPort> inner_;
        std::vector<std::string>& trace_;
    };

    PortOpener& inner_;
    std::vector<std::string>& trace_;
};

// A command that answers fixed bytes, `delayUs` after its command byte.
class FixedAnswer : public emu::WriterCommand {
public:
    FixedAnswer(std::vector<uint8_t> reply, int64_t delayUs) : reply_(std::move(reply)), delayUs_(delayUs) {}
    bool Start(emu::WriterEmulator& w) override {
        if (!reply_.empty()) w.Reply(reply_, delayUs_);
        return true;
    }
    bool Take(uint8_t, emu::WriterEmulator&) override { return true; }

private:
    std::vector<uint8_t> reply_;
    int64_t delayUs_;
};

class OtpTest : public OperationTest {
protected:
    TracingOpener tracing{wire, trace};

    // Example bodies (item index in ComboBox1).
    static constexpr int kRx4400 = 0;  // ByteMode 1024, lock
    static constexpr int kRx4720 = 1;  // WordMode 512, lock, rolling code at 0x1F8, test code
    static constexpr int kRx4935 = 2;  // ByteMode 2048, two banks, OFFSET 0x800
    static constexpr int kRx5100 = 3;  // MTP, test code

    void SetUp() override {
        dir.Write("Writer.ini", ExampleIni());
        session = std::make_unique<Session>(view, pacer, tracing, dir.path());
        ASSERT_EQ(RunStartup(ctx()), StartupResult::Ready);
        ClearRecords();
    }

    // From now on the writer answers `reply` to `command` (nothing when empty).
    void Script(uint8_t command, std::vector<uint8_t> reply, int64_t delayUs = 1000) {
        writer->SetCommand(command, [reply, delayUs] { return std::make_unique<FixedAnswer>(reply, delayUs); });
    }

    // The operator picks a body; the records start afresh afterwards.
    void PickBody(int index) {
        view.SetSelection(Control::ComboBox1, index);
        ComboBox1Change(ctx());
        ClearRecords();
    }

    void Insert(emu::IcKind kind) { emu::PutInSocket(*writer, kind); }
    emu::Ic& Chip() { return *writer->Socket().Held(); }

    std::vector<std::string> Lower() const { return Pane(Control::RichEdit2); }
    std::vector<std::string> Upper() const { return Pane(Control::RichEdit1); }

    // The trace entries that begin with `prefix`, in order.
    std::vector<std::string> TraceOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& t : trace)
            if (t.rfind(prefix, 0) == 0) out.push_back(t);
        return out;
    }
    bool Traced(const std::string& line) const { return std::find(trace.begin(), trace.end(), line) != trace.end(); }

    // Test time of the first byte sent.
    int64_t T0() const { return wire.sent.empty() ? -1 : wire.sent.front().ms; }

    // The dump rows DumpValues makes of `values`.
    static std::vector<std::string> Rows(const std::vector<int32_t>& values, int perRow, int digits, int start) {
        FormModel f;
        f.ClearPane(Control::RichEdit2);
        DumpValues(f, values.data(), static_cast<int>(values.size()), perRow, digits, start, 1);
        return f.Lines(Control::RichEdit2);
    }
};

}  // namespace otp::test
