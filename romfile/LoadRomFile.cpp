#include "romfile/LoadRomFile.h"

#include <filesystem>
#include <system_error>

#include "config/ApplyBodyInfo.h"
#include "config/PathLookup.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "romfile/ChosenFile.h"
#include "romfile/IniSections.h"
#include "romfile/RomDamage.h"
#include "romfile/RomFormat.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(FsPath(path), ec);
}

// Dumps and sums each part of the file as it is read, and downloads every
// image section.
class LoadEvents : public RomSectionEvents {
public:
    explicit LoadEvents(Context& ctx) : ctx_(ctx) {}

    void OptionBytesTaken() override {
        WriterState& s = ctx_.state;
        DumpValues(ctx_.view, s.ReadBackBuffer.data(), 16, 16, 2, 0, 0);
        ctx_.view.AppendLine(Control::RichEdit1, OptionChecksumLine(s.OptionChecksum));
    }

    void SectionRead(int32_t firstAddress, const DataSection& section) override {
        WriterState& s = ctx_.state;
        // Only the low four digits of a row label are shown.
        DumpValues(ctx_.view, s.RomImage.data(), s.ObjectLength, s.RowWidth, s.ValueDigits, firstAddress & 0xFFFF, 0);
        ObjectChecksum(s, s.ObjectLength);
        ctx_.view.AppendLine(Control::RichEdit1, ObjectChecksumLine(s.ObjectChecksum));
        if (section.ignored > 0) {
            ctx_.view.AppendLine(Control::RichEdit1, "  -----> " + std::to_string(section.ignored) +
                                                         " values outside the ROM image ignored !!!");
            outcome = Worse(outcome, Outcome::Failed);
        }
        outcome = Worse(outcome, DownloadToWriter(ctx_));
        downloaded = true;
    }

    void LengthRefused(int32_t length) override {
        ctx_.view.ShowNotice("LENGTH " + std::to_string(length) + " does not fit the " +
                             std::to_string(kMaxRomLength) + " values of the ROM image, load stopped !!!");
        outcome = Worse(outcome, Outcome::Refused);
    }

    Outcome outcome = Outcome::Done;
    bool downloaded = false;

private:
    Context& ctx_;
};

// A writer that lost the thread of the image stream (a gap longer than its
// patience) takes the rest of the image as commands, and some of those
// rewrite its body description or option bytes after they were checked.
// Both are read again, quietly, and must still be what was sent.
bool StillHeldAfterStream(Context& ctx, const BodyInfoRow& sentBody) {
    WriterState& s = ctx.state;
    const auto readBack = s.ReadBackBuffer;  // the image read-back stays for the operator
    bool same = ReadWriterBlock(ctx, kArea, kAddrBodyInfo, kBodyInfoWireBytes).complete;
    // The writer's checksum follows the image it now holds.
    const BodyBits judged = HostSetBits();
    for (size_t i = 0; same && i < judged.size(); ++i)
        same = ((s.ReadBackBuffer[i] ^ sentBody[i]) & judged[i]) == 0;
    if (same) same = ReadWriterBlock(ctx, kArea, kAddrOptions, kOptionWireBytes).complete;
    for (int i = 0; same && i < kOptionWireBytes; ++i)
        same = s.ReadBackBuffer[static_cast<size_t>(i)] == s.OptionBytes[static_cast<size_t>(i)];
    s.ReadBackBuffer = readBack;
    if (!same)
        Line(ctx, "  -----> Download error: the writer's body description or option bytes changed during "
                  "the image stream !!!");
    return same;
}

}  // namespace

Outcome DownloadToWriter(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    OpenPort(ctx);
    bool ok = !s.PortFailed;
    // From the first byte sent the writer holds neither the old image nor,
    // until the read-backs agree, the new one.
    ctx.link.verifiedImage.reset();

    if (const std::optional<int> row = SelectedTableRow(ctx))
        TakeBodyRow(s, *row);
    else
        ok = false;
    // The lock bit of option byte 0 travels in BodyFlags bit 6.
    if (s.OptionBytes[0] & 0x01) s.BodyInfo[0][kBodyFlagsByte] |= kFlagLockOn;
    else s.BodyInfo[0][kBodyFlagsByte] &= static_cast<uint8_t>(~kFlagLockOn);

    // Every read-back must come whole; one that falls short says so.
    const auto whole = [&](const BlockRead& read) {
        if (!read.complete) Line(ctx, ShortReadLine("Download", read.received, read.requested));
        return read.complete;
    };
    const BodyInfoRow sent = s.BodyInfo[0];
    WriteBodyInfo(ctx);
    // A body description the writer did not take whole would program chips
    // with other options than the file's. It is read as every description
    // the host takes over: a read garbled on the line would otherwise fail
    // the load and leave the window showing options no body has.
    const BlockRead bodyRead = ReadBodyInfo(ctx, 2, Reads::Confirmed);
    const bool bodyHeld = whole(bodyRead) && bodyRead.agreed && BodyInfoHeldAsSent(ctx, sent, HostSetBits());
    if (!bodyHeld) Diagnose(ctx, "the writer does not hold the body description sent");
    ok = bodyHeld && ok;

    WriteOptionBytes(ctx, 16);
    bool optionsHeld = whole(ReadOptionBytes(ctx, 1, true));
    for (int i = 0; i < 16; ++i)
        optionsHeld = optionsHeld && s.ReadBackBuffer[static_cast<size_t>(i)] == s.OptionBytes[static_cast<size_t>(i)];
    if (!optionsHeld) Diagnose(ctx, "the writer does not hold the option bytes sent");
    ok = optionsHeld && ok;

    StreamRomImage(ctx, s.ObjectLength);
    ok = whole(ReadObjectBack(ctx, 1, true)) && ok;
    const int count = BodyImageCount(s);
    for (int i = 0; i < count; ++i)
        ok = ok && s.ReadBackBuffer[static_cast<size_t>(i)] == s.RomImage[static_cast<size_t>(i)];
    ok = ok && StillHeldAfterStream(ctx, sent);

    ApplyBodyInfo(s, view);
    ShowTotalChecksum(ctx);
    ClosePort(ctx);
    // Named after the file by the load, which knows it.
    if (ok) NoteImageVerified(ctx, "");
    return ok ? Outcome::Done : Outcome::Failed;
}

Outcome LoadROMFile1Click(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    view.ClearPane(Control::RichEdit1);
    view.ClearPane(Control::RichEdit2);
    const auto chosen = view.ChooseOpenFile();
    if (!chosen) return Outcome::Done;
    const std::string path = ResolveChosenPath(ctx.workingDir, *chosen);
    if (!Exists(path)) {
        view.ClearPane(Control::RichEdit2);
        Line(ctx, "File no found !!!");
        return Outcome::Failed;
    }
    view.SetFieldText(Control::Edit2, BareFileName(*chosen));
    std::string error;
    auto rom = TextLines::Open(path, error);
    if (!rom) {
        view.ShowNotice("Can not read [" + path + "] (" + error + "), load stopped !!!");
        return Outcome::Failed;
    }

    const auto body = FindRomBody(*rom);
    if (!body) {
        view.ShowNotice("Body not found in ROM file!!! ");
        return Outcome::Refused;
    }
    auto ini = TextLines::Open(s.IniPath, error);
    if (!ini) {
        view.ShowNotice("Can not read [" + s.IniPath + "] (" + error + "), load stopped !!!");
        return Outcome::Failed;
    }
    const IniBodyMatch match = FindIniBody(*ini, *body);
    // A body that is not available (its Writer.ini row gives no image length,
    // which would have the writer hold and compare nothing of the file, or a
    // wait over 5 minutes) is refused.
    const bool listed = match.found && match.position >= 0 && match.position < kMaxBodies;
    if (listed && !BodyAvailable(s, match.position)) {
        view.ShowNotice(kBodyNotAvailable);
        return Outcome::Refused;
    }
    // A damaged file is taken only when the operator says so, in a question
    // of its own (the console answers it only when told to load damaged
    // files); otherwise nothing of it reaches the state or the writer.
    const std::string damage = match.found ? RomFileDamage(*rom, s) : std::string();
    if (!damage.empty() && !view.AskLoadDamaged("The ROM file [" + BareFileName(*chosen) + "] is damaged (" + damage +
                                                "): load it anyway?")) {
        // The operator said no: the verdict still says why nothing was loaded.
        Diagnose(ctx, BareFileName(*chosen) + " is damaged (" + damage + "); not loaded");
        return Outcome::Refused;
    }
    view.SetSelection(Control::ComboBox1, match.position);
    // A BODY line outside the body list selects no item either.
    if (!match.found || !SelectedTableRow(ctx)) {
        view.ShowNotice("The Body not support !!! ");
        return Outcome::Refused;
    }

    // The writer takes as many image values as the body description it is
    // sent gives; what a longer LENGTH streams beyond them it would run as
    // commands.
    const int bodyValues = BodyObjectLength(s.BodyInfo[static_cast<size_t>(*SelectedTableRow(ctx)) + 1]);
    const int largest = RomFileLargestLength(*rom, s);
    if (largest > bodyValues) {
        Line(ctx, "  -----> LENGTH " + std::to_string(largest) + " of [" + BareFileName(*chosen) +
                      "] is more than the " + std::to_string(bodyValues) + " values of body " + *body +
                      ", nothing sent to the writer !!!");
        return Outcome::Refused;
    }

    // Whatever the load's verdict, the host and the writer now hold a file
    // that did not pass its own checks.
    if (!damage.empty()) Diagnose(ctx, "a damaged file was loaded: [" + BareFileName(*chosen) + "] (" + damage + ")");
    LoadEvents events(ctx);
    ReadRomSections(*rom, s, events);
    if (ctx.link.verifiedImage) ctx.link.verifiedImage->file = BareFileName(*chosen);
    if (!events.downloaded && events.outcome == Outcome::Done) {
        // Taken anyway without a data section: the writer does not hold this file.
        Line(ctx, "  -----> No data section in [" + BareFileName(*chosen) + "], nothing sent to the writer !!!");
        return Outcome::Failed;
    }
    return events.outcome;
}

}  // namespace otp
