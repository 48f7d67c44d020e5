#include "romfile/LoadRomFile.h"

#include <sys/stat.h>

#include <algorithm>

#include "config/ApplyBodyInfo.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "romfile/ChosenFile.h"
#include "romfile/IniSections.h"
#include "romfile/RomFormat.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
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
    }

    void LengthRefused(int32_t length) override {
        ctx_.view.ShowNotice("LENGTH " + std::to_string(length) + " does not fit the " +
                             std::to_string(kMaxRomLength) + " values of the ROM image, load stopped !!!");
        outcome = Worse(outcome, Outcome::Refused);
    }

    Outcome outcome = Outcome::Done;

private:
    Context& ctx_;
};

}  // namespace

Outcome DownloadToWriter(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    OpenPort(ctx);
    bool ok = !s.PortFailed;

    const int body = view.GetSelection(Control::ComboBox1);
    if (body >= 0 && body < kMaxBodies)
        TakeBodyRow(s, body);
    else
        ok = false;
    // The lock bit of option byte 0 travels in BodyFlags bit 6.
    if (s.OptionBytes[0] & 0x01) s.BodyInfo[0][4] |= 0x40;
    else s.BodyInfo[0][4] &= static_cast<uint8_t>(~0x40);

    WriteBodyInfo(ctx);
    ReadBodyInfo(ctx, 2);
    ok = ok && s.ReplyLength == kBodyInfoWireBytes;

    WriteOptionBytes(ctx, 16);
    ReadOptionBytes(ctx, 1, true);
    ok = ok && s.ReplyLength == 16;
    for (int i = 0; i < 16; ++i)
        ok = ok && s.ReadBackBuffer[static_cast<size_t>(i)] == s.OptionBytes[static_cast<size_t>(i)];

    StreamRomImage(ctx, s.ObjectLength);
    ReadObjectBack(ctx, 1, true);
    const int count = std::min(BodyObjectLength(s.BodyInfo[0]), kRomImageSize);
    ok = ok && BlockReadComplete(s, count * (s.ValueDigits / 2));
    for (int i = 0; i < count; ++i)
        ok = ok && s.ReadBackBuffer[static_cast<size_t>(i)] == s.RomImage[static_cast<size_t>(i)];

    ApplyBodyInfo(s, view);
    ShowTotalChecksum(ctx);
    ClosePort(ctx);
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
        view.AppendLine(Control::RichEdit2, "File no found !!!");
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
    view.SetSelection(Control::ComboBox1, match.position);
    // A BODY line outside the body list selects no item either.
    const int selected = view.GetSelection(Control::ComboBox1);
    if (!match.found || selected < 0 || selected >= kMaxBodies) {
        view.ShowNotice("The Body not support !!! ");
        return Outcome::Refused;
    }

    LoadEvents events(ctx);
    ReadRomSections(*rom, s, events);
    return events.outcome;
}

}  // namespace otp
