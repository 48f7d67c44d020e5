#include "maintenance/UpdateWriter.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "config/ApplyBodyInfo.h"
#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

// Reads the firmware file into FirmwareImage (0xFF where the file ends);
// the count of bytes read, or -1 when it is not a regular file or cannot be
// read, and then `error` tells why. A file larger than the image is read
// one byte beyond it, so that the count tells it.
int ReadFirmwareFile(WriterState& s, std::string& error) {
    s.FirmwareImage.fill(0xFF);
    std::string bytes;
    if (!ReadRegularFileHead(s.DriverPath, kFirmwareImageSize + 1, bytes, error)) return -1;
    const size_t held = std::min(bytes.size(), s.FirmwareImage.size());
    for (size_t i = 0; i < held; ++i) s.FirmwareImage[i] = static_cast<uint8_t>(bytes[i]);
    return static_cast<int>(bytes.size());
}

// The size of a file that was read as larger than the image, for the notice.
std::string LargeFileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(FsPath(path), ec);
    if (ec || size <= static_cast<std::uintmax_t>(kFirmwareImageSize))
        return "more than " + std::to_string(kFirmwareImageSize);  // it changed meanwhile
    return std::to_string(size);
}

void SendFirmwareBody(Context& ctx, int n) {
    WriterState& s = ctx.state;
    OpenPort(ctx);
    PacedSender out(ctx);
    out.Command(Cmd::FirmwareUpdate);
    out.Send(static_cast<uint8_t>(n % 256), 1);
    out.Send(static_cast<uint8_t>(n / 256), 1);
    ctx.view.SetProgressMax(n);
    ctx.view.ShowProgress(true);
    for (int i = 0; i < n; ++i) {
        out.Send(static_cast<uint8_t>(s.FirmwareImage[static_cast<size_t>(kFirmwareBodyStart + i)] & 0xFF), 1);
        s.ReadBackBuffer[static_cast<size_t>(i)] = 255;
        ctx.view.SetProgressPosition(i);
    }
    // The store wait runs with the port closed; it starts when the body is out.
    WaitUntilSent(ctx);
    ClosePort(ctx);
}

// The writer needs time to store the body before it can be read back.
void WaitForStore(Context& ctx, int n) {
    if (HasFixedUpdateWait(ctx.state.IniVersion)) {
        ctx.pacer.Sleep(2500);
        ctx.view.ShowProgress(false);
    } else {
        ProgressWait(ctx, (n * 14) / 100 + n / 128 + 1);
    }
}

// Compares what the writer returned; true when all n bytes came back and
// matched. A byte that never came back is a mismatch, whatever the file holds.
bool CompareReadBack(Context& ctx, int n, const BlockRead& read) {
    const WriterState& s = ctx.state;
    const int arrived = read.complete ? n : std::min(read.received, n);
    int differ = 0, first = 0;
    for (int i = 0; i < arrived; ++i) {
        const int sent = s.FirmwareImage[static_cast<size_t>(kFirmwareBodyStart + i)];
        const int got = s.ReadBackBuffer[static_cast<size_t>(i)];
        if (sent == got) continue;
        if (differ++ == 0) first = kFirmwareBodyStart + i;
        Line(ctx, MismatchLine(kFirmwareBodyStart + i, sent, got, 2));
    }
    if (!read.complete) Line(ctx, ShortReadLine("Update", read.received, read.requested));
    else if (differ > 0)
        Diagnose(ctx, std::to_string(differ) + " of the " + std::to_string(n) +
                          " firmware bytes read back differ from those sent, the first at " + FormatHex(first, 4));
    return read.complete && differ == 0;
}

// Sends the selected body's description to the writer again; true when the
// writer holds it afterwards.
bool RestoreBodyInfo(Context& ctx) {
    WriterState& s = ctx.state;
    OpenPort(ctx);
    const std::optional<int> body = SelectedBody(ctx);
    bool held = false;
    // No selection at all sends row 0 back as it is.
    if (body || ctx.view.GetSelection(Control::ComboBox1) < 0) {
        if (body) TakeBodyRow(s, *body);
        const BodyInfoRow sent = s.BodyInfo[0];
        WriteBodyInfo(ctx);
        // Read twice: the selectors follow the row, and the next change sends it back.
        held = ReadBodyInfo(ctx, 2, Reads::Confirmed).Taken() && BodyInfoHeldAsSent(ctx, sent, HostSetBits());
        if (!held) Diagnose(ctx, "the writer does not hold the body description sent after the update");
    } else {
        ctx.view.ShowNotice(kBodyNotAvailable);
    }
    ClosePort(ctx);
    ApplyBodyInfo(s, ctx.view);
    return held;
}

}  // namespace

bool HasFixedUpdateWait(const std::string& version) { return version > std::string(kFixedWaitVersion); }

Outcome UpdateWriter1Click(Context& ctx) {
    WriterState& s = ctx.state;
    if (!ctx.view.AskYesNo("Are you really to update the writer?")) {
        Diagnose(ctx, "the update was not confirmed; nothing was sent");
        return Outcome::Refused;
    }
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    ctx.view.SetFieldText(Control::Edit2, s.DriverPath);

    // A bad file never reaches the writer.
    std::string error;
    const int count = ReadFirmwareFile(s, error);
    if (count < 0) {
        ctx.view.ShowNotice("The writer driver file [" + s.DriverPath + "] cannot be opened (" + error +
                            "); nothing was sent !!!");
        return Outcome::Refused;
    }
    if (count <= kFirmwareBodyStart) {
        ctx.view.ShowNotice("The writer driver file [" + s.DriverPath + "] has " + std::to_string(count) +
                            " bytes; it needs more than 1024, so nothing was sent !!!");
        return Outcome::Refused;
    }
    // The writer takes 15360 bytes; a larger file would be cut short there
    // and the rest of it never sent, with the update reported as done.
    if (count > kFirmwareImageSize) {
        ctx.view.ShowNotice("The writer driver file [" + s.DriverPath + "] has " + LargeFileSize(s.DriverPath) +
                            " bytes; it may have at most " + std::to_string(kFirmwareImageSize) + " (" +
                            std::to_string(kFirmwareImageSize - kFirmwareBodyStart) + " sent after the first " +
                            std::to_string(kFirmwareBodyStart) + "), so nothing was sent !!!");
        return Outcome::Refused;
    }
    const int n = count - kFirmwareBodyStart;

    ctx.view.AppendLine(Control::RichEdit1, "Total send " + std::to_string(n) + " bytes");
    DumpValues(ctx.view, s.FirmwareImage.data() + kFirmwareBodyStart, n, 16, 2, kFirmwareBodyStart, 0);
    SendFirmwareBody(ctx, n);
    WaitForStore(ctx, n);

    OpenPort(ctx);
    const BlockRead read = ReadWriterBlock(ctx, kArea, kFirmwareBodyStart, n);
    ClosePort(ctx);
    const bool same = CompareReadBack(ctx, n, read);
    // The version bytes are the new firmware's first 8; after a failed
    // update nobody knows them until they are read again.
    ctx.link.versionBytes.clear();
    if (same && n >= kVersionBytes)
        for (int i = 0; i < kVersionBytes; ++i)
            ctx.link.versionBytes.push_back(static_cast<uint8_t>(s.ReadBackBuffer[static_cast<size_t>(i)]));
    if (same) DumpValues(ctx.view, s.ReadBackBuffer.data(), n, 16, 2, kFirmwareBodyStart, 1);
    Line(ctx, ReplyLengthLine(n));
    const bool restored = RestoreBodyInfo(ctx);
    // A writer whose update failed may hold anything.
    if (!same || !restored) ctx.link.verifiedImage.reset();
    return same && restored ? Outcome::Done : Outcome::Failed;
}

}  // namespace otp
