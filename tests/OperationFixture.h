#pragma once
// Runs real operation code against the in-process emulated writer on a
// virtual clock, recording every view operation and every byte on the wire.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "emulatedport/EmulatedPort.h"
#include "link/Context.h"
#include "operations/Session.h"
#include "view/FormModel.h"
#include "view/TracingView.h"

namespace otp::test {

struct WireByte {
    int64_t ms;
    uint8_t byte;
    bool operator==(const WireByte& o) const { return ms == o.ms && byte == o.byte; }
};

// Wraps the emulated ports so that the test sees what the host wrote and when.
class RecordingOpener : public PortOpener {
public:
    RecordingOpener(PortOpener& inner, const Pacer& pacer) : inner_(inner), pacer_(pacer) {}

    OpenResult Open(const std::string& name, std::unique_ptr<SerialPort>& port) override {
        ++opens;
        const OpenResult r = inner_.Open(name, port);
        if (port) port = std::make_unique<Port>(std::move(port), *this);
        return r;
    }

    int opens = 0;
    std::vector<WireByte> sent;
    std::vector<int64_t> drains;  // test time of every drain
    int portWaits = 0;            // sleeps that asked a port when its next byte comes

private:
    class Port : public SerialPort {
    public:
        Port(std::unique_ptr<SerialPort> inner, RecordingOpener& rec) : inner_(std::move(inner)), rec_(rec) {}
        bool WriteByte(uint8_t b) override {
            rec_.sent.push_back({rec_.pacer_.NowMs(), b});
            return inner_->WriteByte(b);
        }
        bool WaitSent(Pacer& pacer) override { return inner_->WaitSent(pacer); }
        std::vector<uint8_t> TakeArrived() override {
            rec_.drains.push_back(rec_.pacer_.NowMs());
            return inner_->TakeArrived();
        }

        bool DiscardInput() override { return inner_->DiscardInput(); }
        PortWake* Wake() override {
            wake_.inner = inner_->Wake();
            return wake_.inner ? &wake_ : nullptr;
        }

    private:
        struct CountingWake : PortWake {
            explicit CountingWake(RecordingOpener& r) : rec(r) {}
            std::optional<int64_t> NextByteMs() override {
                ++rec.portWaits;
                return inner->NextByteMs();
            }
            bool AwaitByte(int timeoutMs) override {
                ++rec.portWaits;
                return inner->AwaitByte(timeoutMs);
            }
            RecordingOpener& rec;
            PortWake* inner = nullptr;
        };
        std::unique_ptr<SerialPort> inner_;
        RecordingOpener& rec_;
        CountingWake wake_{rec_};
    };

    PortOpener& inner_;
    const Pacer& pacer_;
};

class OperationTest : public ::testing::Test {
protected:
    TempDir dir;
    VirtualPacer pacer;
    std::shared_ptr<emu::WriterEmulator> writer = emu::MakeDemoWriter();
    emu::EmulatedPortOpener emulated{writer, pacer};
    RecordingOpener wire{emulated, pacer};
    FormModel form;
    std::vector<std::string> trace;
    TracingView view{form, [this](const std::string& line) { trace.push_back(line); }};
    std::unique_ptr<Session> session;

    // Writes Writer.ini (the shipped example unless given) and makes the session.
    void MakeSession(const std::string& ini = ExampleIni()) {
        if (!ini.empty()) dir.Write("Writer.ini", ini);
        session = std::make_unique<Session>(view, pacer, wire, dir.path());
    }
    Context& ctx() { return session->ctx(); }
    WriterState& state() { return session->state(); }

    const std::vector<std::string>& Pane(Control pane) const { return form.Lines(pane); }

    std::vector<uint8_t> SentBytes() const {
        std::vector<uint8_t> bytes;
        for (const WireByte& w : wire.sent) bytes.push_back(w.byte);
        return bytes;
    }

    // Forgets what has been recorded so far.
    void ClearRecords() {
        trace.clear();
        wire.sent.clear();
        wire.drains.clear();
        wire.opens = 0;
        wire.portWaits = 0;
    }

    static std::string ExampleIni() {
        std::ifstream in(SourcePath("examples/Writer.ini"), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

}  // namespace otp::test
