// The host against a writer that misbehaves as the input says, in process on
// the virtual clock. The input chooses up to three faults (a command, which
// of its occurrences, what the writer does: answer short, long, late,
// garbled, not at all, or die; each a rule of the fault suite) and up to
// eight operations after the start-up: the chip operations, the file
// operations, the selectors, the test code and the firmware update. Whenever
// the host says an operation succeeded, what it was about must be true in
// the emulated writer: the oracle aborts otherwise, and so does an operation
// that does not end within a bounded virtual time.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/WriterState.h"
#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "link/Pacer.h"
#include "maintenance/UpdateWriter.h"
#include "operations/CopyMaster.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "operations/Selectors.h"
#include "operations/Session.h"
#include "operations/Startup.h"
#include "operations/TestCode.h"
#include "romfile/LoadRomFile.h"
#include "romfile/RomFormat.h"
#include "romfile/SaveRomFile.h"
#include "romfile/UploadRom.h"
#include "view/FormModel.h"
#include "view/HexText.h"

namespace {

namespace fs = std::filesystem;
using otp::emu::WriterEmulator;

// The shipped Writer.ini and demo image in a folder of their own.
struct Files {
    Files() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const fs::path base = fs::temp_directory_path() / ("otp-writer-fuzz-" + std::to_string(stamp));
        fs::create_directories(base);
        dir = base.string();
        for (const char* name : {"Writer.ini", "demo-rx4400.rom"})
            fs::copy_file(fs::path(OTP_SOURCE_DIR) / "examples" / name, base / name,
                          fs::copy_options::overwrite_existing);
        // The firmware Writer.ini names: a body of 300 bytes after the part never sent.
        for (size_t i = 0; i < 1024 + 300; ++i) firmware.push_back(static_cast<char>(i * 7));
        std::ofstream(base / "WRITER.BIN", std::ios::binary) << firmware;
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir;
    std::string firmware;
};

// Takes the input a byte at a time; zeros once it is used up.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int Pick(int n) { return Byte() % n; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "writer fuzzer finding: %s\n", what.c_str());
    std::abort();
}

const char* const kTargets[] = {"W", "u", "w", "m", "c", "e", "g", "k", "i", "*"};

// A fault rule of the fault suite's grammar, as the input chooses it.
std::string FaultRule(Input& in) {
    std::string rule = kTargets[in.Pick(static_cast<int>(std::size(kTargets)))];
    rule += "#" + std::to_string(1 + in.Pick(20)) + ":";
    const int k = in.Byte();
    switch (in.Pick(14)) {
        case 0: return rule + "silent";
        case 1: return rule + "late=" + std::to_string(k * 20);
        case 2: return rule + "tail=" + std::to_string(k % 17) + "," + std::to_string(in.Byte() * 20);
        case 3: return rule + "truncate=" + std::to_string(k % 17);
        case 4: return rule + "extra=" + std::to_string(1 + k % 8);
        case 5: return rule + "flood=" + std::to_string(100 + k * 40);
        case 6: return rule + "garbage";
        case 7: return rule + "corrupt=" + std::to_string(k % 17);
        case 8: return rule + "lose=" + std::to_string(k % 6);
        case 9: return rule + "deaf=" + std::to_string(k * 4);
        case 10: return rule + "die=" + std::to_string(k % 17);
        case 11: return rule + "die-rx=" + std::to_string(1 + k % 6);
        default: return rule + "die";
    }
}

enum class Op {
    Load, Auto, Blank, Program, Verify, Copy, Upload, LockOn, NextChip, MasterChip, Save, RollingBody,
    Body, RollingOn, Bank, Read, TestCodeRead, TestCodeWrite, Update
};
constexpr int kOps = 19;
// The bodies of the shipped Writer.ini.
constexpr int kBodies = 4;

// The image the host holds, as the writer's bytes: one a value, or two low first.
std::vector<uint8_t> HostImageBytes(const otp::WriterState& s, int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const int v = s.RomImage[static_cast<size_t>(i)];
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        if (s.ValueDigits == 4) bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return bytes;
}

// The chip holds the host's verified image (the rolling-code place aside
// while the code is on or once one was shown, as below).
bool ChipHoldsHostImage(const WriterEmulator& writer, const otp::WriterState& s, bool codeShown) {
    const otp::emu::Ic* ic = writer.Socket().Held();
    if (!ic) return false;
    otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
    body.rollingOn = body.rollingOn || codeShown;
    const std::vector<uint8_t> image = HostImageBytes(s, body.count);
    const std::vector<uint8_t>& bank = ic->banks[static_cast<size_t>(body.bank)];
    for (size_t i = 0; i < body.bytes && i < image.size(); ++i) {
        if (body.InRollingArea(i)) continue;
        if (i >= bank.size() || bank[i] != image[i]) return false;
    }
    return true;
}

// With the rolling code on, the code the host showed is the chip's.
bool ChipHoldsShownRollingCode(const WriterEmulator& writer, const otp::Context& ctx) {
    const otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
    const otp::emu::Ic* ic = writer.Socket().Held();
    if (!body.rollingOn || ctx.findings.rollingCodeNotReported || !ic) return true;
    const std::vector<uint8_t>& bank = ic->banks[static_cast<size_t>(body.bank)];
    for (int k = 0; k < 8; ++k) {
        const size_t at = static_cast<size_t>((body.rollingBase + k) * body.bytesPerValue);
        int word = at < bank.size() ? bank[at] : -1;
        if (body.bytesPerValue == 2) word |= (at + 1 < bank.size() ? bank[at + 1] : 0) << 8;
        if (word != ctx.state.ReadBackBuffer[static_cast<size_t>(k)]) return false;
    }
    return true;
}

// The image is the writer's, the place of the rolling code aside while the
// code is on or once one was shown (`codeShown`): the host keeps there the
// words it showed for the last chip.
bool WriterHolds(const WriterEmulator& writer, const std::vector<uint8_t>& image, bool codeShown) {
    const std::vector<uint8_t> held = writer.ReadMemory(WriterEmulator::kImageAddr, image.size());
    otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
    body.rollingOn = body.rollingOn || codeShown;
    for (size_t i = 0; i < image.size(); ++i)
        if (held[i] != image[i] && !body.InRollingArea(i)) return false;
    return true;
}

bool WriterHoldsHostImage(const WriterEmulator& writer, const otp::WriterState& s, bool codeShown) {
    return WriterHolds(writer, HostImageBytes(s, otp::BodyImageCount(s)), codeShown);
}

// The saved file, read back as a load reads it, holds the writer's image
// (the rolling code's place aside, as above).
bool SavedFileHoldsWriterImage(const WriterEmulator& writer, const otp::WriterState& s, const std::string& path,
                               bool codeShown) {
    auto file = otp::TextLines::Open(path);
    if (!file || !otp::FindRomBody(*file)) return false;
    auto scratch = std::make_unique<otp::WriterState>();
    scratch->ValueDigits = s.ValueDigits;
    otp::RomSectionEvents events;
    if (!otp::ReadRomSections(*file, *scratch, events)) return false;
    if (scratch->ObjectLength != otp::BodyImageCount(s) || scratch->ValueDigits != s.ValueDigits) return false;
    return WriterHolds(writer, HostImageBytes(*scratch, scratch->ObjectLength), codeShown);
}

// Whether a fault changed bytes of an answer (keeping its length) during the
// operation. A rolling code changed so is an open finding, not looked for
// again: the answer has its length and status and the code is the writer's
// own, so nothing in it tells the host; it needs a second source for the code.
bool AnswerChanged(const WriterEmulator& writer, size_t reportsBefore) {
    const std::vector<std::string>& reports = writer.FaultReports();
    for (size_t i = reportsBefore; i < reports.size(); ++i)
        if (reports[i].find("changed from") != std::string::npos ||
            reports[i].find("replaced by noise") != std::string::npos)
            return true;
    return false;
}

// What an operation that the host says succeeded must have done.
void CheckTruth(Op op, WriterEmulator& writer, otp::Context& ctx, const std::optional<otp::emu::Ic>& master,
                const Files& files, bool codeShown, bool answerChanged) {
    const otp::WriterState& s = ctx.state;
    switch (op) {
        case Op::Bank: {
            const otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
            if ((body.caps & otp::kCapBanks) && body.bank != otp::BodyBank(s.BodyInfo[0]))
                Finding("a bank change passed and the writer uses another bank than shown");
            break;
        }
        case Op::TestCodeWrite: {
            const otp::emu::Ic* ic = writer.Socket().Held();
            const std::vector<uint8_t> code = otp::emu::BodyTestCode(otp::emu::ReadHeldBody(writer).code);
            if (!ic || ic->testCode.size() < code.size() || !std::equal(code.begin(), code.end(), ic->testCode.begin()))
                Finding("a test code write passed and the chip does not hold the code");
            break;
        }
        case Op::Update: {
            const size_t n = files.firmware.size() - otp::kFirmwareBodyStart;
            const std::vector<uint8_t> held = writer.ReadMemory(otp::kFirmwareBodyStart, n);
            if (!std::equal(held.begin(), held.end(), files.firmware.begin() + otp::kFirmwareBodyStart,
                            [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }))
                Finding("a firmware update passed and the writer does not hold the file");
            break;
        }
        case Op::Load:
        case Op::Upload:
            if (!WriterHoldsHostImage(writer, s, codeShown))
                Finding("the writer does not hold the image the host verified");
            break;
        case Op::Save:
            // The file is the host's image; once the host has verified one in
            // the writer, it must be the writer's.
            if (ctx.link.verifiedImage && !SavedFileHoldsWriterImage(writer, s, files.dir + "/saved.rom", codeShown))
                Finding("a save passed and the file is not the writer's image");
            break;
        case Op::Auto:
        case Op::Program:
            if (!ChipHoldsShownRollingCode(writer, ctx) && !answerChanged)
                Finding("a chip passed with another rolling code than shown");
            [[fallthrough]];
        case Op::Verify:
            if (!ctx.link.verifiedImage) Finding("a chip passed from an image the host never verified");
            if (!ChipHoldsHostImage(writer, s, codeShown))
                Finding("a chip passed that does not hold the verified image");
            break;
        case Op::Blank: {
            const otp::emu::Ic* ic = writer.Socket().Held();
            const otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
            if (!ic || !ic->BankBlank(body.bank, body.bytes)) Finding("a chip passed its blank check that is not blank");
            break;
        }
        case Op::Copy: {
            const otp::emu::HeldBody body = otp::emu::ReadHeldBody(writer);
            const std::vector<uint8_t> held = writer.ReadMemory(WriterEmulator::kImageAddr, body.bytes);
            const std::vector<uint8_t>* bank = master ? &master->banks[static_cast<size_t>(body.bank)] : nullptr;
            if (!bank || bank->size() < body.bytes || !std::equal(held.begin(), held.end(), bank->begin()))
                Finding("a copy passed and the writer does not hold the master's image");
            if (!WriterHoldsHostImage(writer, s, codeShown)) Finding("a copy passed and the host holds another image");
            break;
        }
        default: break;
    }
}

const char* const kOpNames[] = {"load", "auto", "blank", "program", "verify", "copy", "upload",
                                "lock on", "next chip", "master chip", "save", "rolling body",
                                "body", "rolling on", "bank", "read", "test code read", "test code write",
                                "update"};
const char* const kOutcomeNames[] = {"done", "failed", "refused"};

template <typename Bytes>
std::string HexBytes(const Bytes& bytes) {
    std::string text;
    for (const auto b : bytes) otp::AppendHex(text, b, 2);
    return text;
}

// With OTP_WRITER_FUZZ_SHOW set, each operation is shown with its outcome
// and the lines of both panes, and the faults the writer played during it:
// how an input is understood.
void Show(const otp::FormModel& form, const otp::Context& ctx, Op op, otp::Outcome outcome, const WriterEmulator& writer,
          size_t reportsBefore) {
    static const bool show = std::getenv("OTP_WRITER_FUZZ_SHOW") != nullptr;
    if (!show) return;
    std::fprintf(stderr, "== %s: %s\n", kOpNames[static_cast<int>(op)], kOutcomeNames[static_cast<int>(outcome)]);
    const std::vector<std::string>& reports = writer.FaultReports();
    for (size_t i = reportsBefore; i < reports.size(); ++i) std::fprintf(stderr, "  fault: %s\n", reports[i].c_str());
    std::fprintf(stderr, "  host's description:   %s\n  writer's description: %s\n",
                 HexBytes(ctx.state.BodyInfo[0]).c_str(), HexBytes(otp::emu::ReadHeldBody(writer).info).c_str());
    for (const otp::Control pane : {otp::Control::RichEdit1, otp::Control::RichEdit2})
        for (const std::string& line : form.Lines(pane)) std::fprintf(stderr, "  %s\n", line.c_str());
}

// What an operator can do, and only that: click an enabled button or menu
// entry, pick an item of an enabled selector.
struct Operator {
    otp::FormModel& form;
    otp::Context& ctx;

    otp::Outcome Click(otp::Control button, otp::Outcome (*op)(otp::Context&)) {
        return form.Enabled(button) ? op(ctx) : otp::Outcome::Refused;
    }
    // The Testcode menu, when it is shown; its Write entry when that is enabled.
    otp::Outcome TestCode(bool write, otp::Outcome (*op)(otp::Context&)) {
        const bool can = form.MenuVisible(otp::Control::Testcode1) && (!write || form.MenuEnabled(otp::Control::Write1));
        return can ? op(ctx) : otp::Outcome::Refused;
    }
    otp::Outcome Pick(otp::Control selector, int index, otp::Outcome (*op)(otp::Context&)) {
        const int items = static_cast<int>(form.Selector(selector).items.size());
        if (!form.Enabled(selector) || items == 0) return otp::Outcome::Refused;
        form.SetSelection(selector, index % items);
        return op(ctx);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Files files;
    Input in(data, size);
    otp::VirtualPacer pacer;
    auto opener = otp::emu::MakeDemoOpener(pacer);
    WriterEmulator& writer = opener->Writer();
    writer.SetFaultSeed(in.Byte());
    otp::FormModel form;
    form.yesAnswer = true;  // the update and the test code write ask first
    otp::Session session(form, pacer, *opener, files.dir);
    otp::Context& ctx = session.ctx();
    ctx.link.fastWaits = in.Byte() & 1;
    Operator person{form, ctx};

    const int faults = in.Pick(4);
    for (int i = 0; i < faults; ++i) {
        std::string error;
        if (!writer.AddFault(FaultRule(in), error)) Finding("a fault rule the writer refused: " + error);
    }
    if (otp::RunStartup(ctx) != otp::StartupResult::Ready) return 0;

    bool codeShown = false;
    const int steps = 1 + in.Pick(8);
    for (int i = 0; i < steps; ++i) {
        const Op op = static_cast<Op>(in.Pick(kOps));
        std::optional<otp::emu::Ic> master;
        if (const otp::emu::Ic* ic = writer.Socket().Held()) master = *ic;
        const int64_t t0 = pacer.NowMs();
        const size_t reportsBefore = writer.FaultReports().size();
        otp::Outcome outcome = otp::Outcome::Refused;
        using otp::Control;
        switch (op) {
            case Op::Load:
                form.openFiles.assign(1, files.dir + "/demo-rx4400.rom");
                outcome = otp::LoadROMFile1Click(ctx);
                break;
            case Op::Auto: outcome = person.Click(Control::Button1, otp::Button1Click); break;
            case Op::Blank: outcome = person.Click(Control::Button2, otp::Button2Click); break;
            case Op::Program: outcome = person.Click(Control::Button3, otp::Button3Click); break;
            case Op::Verify: outcome = person.Click(Control::Button4, otp::Button4Click); break;
            case Op::Copy: outcome = person.Click(Control::Button5, otp::Button5Click); break;
            case Op::Read: outcome = person.Click(Control::Button6, otp::Button6Click); break;
            case Op::Upload: outcome = otp::UploadtoWriter1Click(ctx); break;
            case Op::LockOn: outcome = person.Pick(Control::ComboBox4, 1, otp::ComboBox4Change); break;
            case Op::Save:
                form.saveFiles.assign(1, files.dir + "/saved.rom");
                outcome = otp::SaveROMFile1Click(ctx);
                break;
            case Op::RollingBody:
                // RX4720 with its rolling code on.
                outcome = person.Pick(Control::ComboBox1, 1, otp::ComboBox1Change);
                if (outcome == otp::Outcome::Done) outcome = person.Pick(Control::ComboBox3, 1, otp::ComboBox3Change);
                break;
            case Op::NextChip: otp::emu::PutInSocket(writer, otp::emu::IcKind::Blank); break;
            case Op::MasterChip: otp::emu::PutInSocket(writer, otp::emu::IcKind::Programmed); break;
            case Op::Body: outcome = person.Pick(Control::ComboBox1, in.Pick(kBodies), otp::ComboBox1Change); break;
            case Op::RollingOn: outcome = person.Pick(Control::ComboBox3, 1, otp::ComboBox3Change); break;
            // A bank number or one of the two searches.
            case Op::Bank: outcome = person.Pick(Control::ComboBox5, in.Pick(10), otp::ComboBox5Change); break;
            case Op::TestCodeRead: outcome = person.TestCode(false, otp::Read1Click); break;
            case Op::TestCodeWrite: outcome = person.TestCode(true, otp::Write1Click); break;
            case Op::Update: outcome = otp::UpdateWriter1Click(ctx); break;
        }
        // No operation waits longer than its configured waits allow, by far.
        if (pacer.NowMs() - t0 > 10 * 60 * 1000) Finding("an operation did not end within 10 minutes");
        Show(form, ctx, op, outcome, writer, reportsBefore);
        if (outcome != otp::Outcome::Done) continue;
        // An image taken over holds no rolling code; a chip with one shows it.
        if (op == Op::Load || op == Op::Upload || op == Op::Copy) codeShown = false;
        if ((op == Op::Auto || op == Op::Program) && otp::emu::ReadHeldBody(writer).rollingOn) codeShown = true;
        CheckTruth(op, writer, ctx, master, files, codeShown, AnswerChanged(writer, reportsBefore));
    }
    return 0;
}
