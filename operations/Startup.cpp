#include "operations/Startup.h"

#include "config/ApplyBodyInfo.h"
#include "config/WriterIni.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "maintenance/WriterVersion.h"
#include "view/LogLines.h"

namespace otp {
namespace {

std::string Values(int count) { return std::to_string(count) + (count == 1 ? " value" : " values"); }

// Names the bodies of Writer.ini that are not sent as they stand: a row that
// gives an image length of 0, or an operation wait over 5 minutes, makes its
// body unavailable, and the bytes that a shorter row leaves out go to the
// writer as 00.
void ReportBodyRows(Context& ctx) {
    const WriterState& s = ctx.state;
    for (int body = 0; body < s.BodyCount; ++body) {
        const auto k = static_cast<size_t>(body);
        const int count = s.InfoCount[k];
        // Not in the shape of a failure line ("  -----> "): a failed start-up
        // is named by what failed in it, not by these.
        const std::string start = "Body " + s.BodyName[k] + " in " + kIniFileName;
        if (BodyObjectLength(s.BodyInfo[k + 1]) == 0) {
            const std::string why =
                count <= static_cast<int>(kBodyLengthByte) + 1 ? "INFO has " + Values(count) : "INFO bytes 5-6 are 0";
            Line(ctx, start + " gives an image length of 0 (" + why + "): it is not available !!!");
        } else if (count < kBodyInfoWireBytes) {
            Line(ctx, start + " has " + Values(count) + " in INFO: the other " +
                          std::to_string(kBodyInfoWireBytes - count) + " of its " +
                          std::to_string(kBodyInfoWireBytes) + " bytes are sent as 00 !!!");
        }
        // Shown as written (the number reader wraps at 32 bits and has no sign).
        std::string refused;
        int refusedCount = 0;
        for (const BodyWait& wait : BodyWaits(s, body)) {
            if (WaitAllowed(wait.ticks)) continue;
            refused += (refusedCount++ ? " and " : "") + std::string(wait.key) + " " +
                       std::to_string(static_cast<uint32_t>(wait.ticks));
        }
        if (refusedCount > 0)
            Line(ctx, start + " gives " + refused + (refusedCount == 1 ? ", a wait" : ", waits") + " over " +
                          std::to_string(kMaxBodyWaitTicks) + " ticks of 10 ms (5 minutes): it is not available !!!");
    }
}

// Checks the writer and takes over what it holds.
StartupResult ConnectWriter(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    OpenPort(ctx);
    // The line must be quiet before the first request: what a previous run
    // left on it is no answer to this one.
    const int64_t thrown = QuietLineBeforeStart(ctx, 50);
    ctx.link.verifiedImage.reset();
    if (s.PortFailed) {
        Line(ctx, s.PortName + " Connect Error (1)!!!");
        return StartupResult::NoWriter;
    }
    // Bytes there at the open are not counted (the port drops them whole,
    // and the line is then re-synchronised, which takes what follows them);
    // those that came after it are.
    const std::string why = " (a previous run's writer still answering, or kept by the adapter): thrown away";
    if (ctx.link.unaskedAtOpen)
        Diagnose(ctx, "bytes were on the line when the port was opened" + why);
    else if (thrown > 0)
        Diagnose(ctx, std::to_string(thrown) + (thrown == 1 ? " byte was" : " bytes were") +
                          " on the line before the first request" + why);
    // The selectors follow the writer's description and the next change
    // sends it back: read twice, as the image is.
    const BlockRead body = ReadBodyInfo(ctx, 1, Reads::Confirmed);
    ApplyBodyInfo(s, view);
    if (!body.Taken() || s.BodyInfo[0][0] != 0xA5 || s.ReplyLength != kBodyInfoWireBytes) {
        // An answer of another length is a writer out of step, and one after
        // its wait a late writer, not a missing one.
        if (!body.complete) NoteShortAnswer(ctx, "body description", body.received, body.requested);
        Line(ctx, s.PortName + " Connect Error (2)!!!");
        return StartupResult::NoWriter;
    }
    Line(ctx, s.PortName + " Connect OK !!!");

    const HeldImage before = HeldImage::Of(s);
    s.ObjectLength = BodyImageCount(s);
    // The image the chips are programmed from is taken as verified only when
    // two reads of it agree: the line has no parity.
    BlockRead read = ReadOptionBytes(ctx, 0, false, Reads::Confirmed);
    if (read.Taken()) read = ReadObjectBack(ctx, 0, false, Reads::Confirmed);
    if (!read.complete) {
        // Half of the writer's data is none of it.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
        Line(ctx, ShortReadLine("Connect", read.received, read.requested));
        return StartupResult::NoWriter;
    }
    if (!read.agreed) {
        // The writer answers, but what it holds is not known: a Load makes
        // it known; nothing is programmed from it until then.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
    } else {
        // The start-up total counts option bytes 0-7 only.
        OptionChecksum(s, 8);
        ObjectChecksum(s, s.ObjectLength);
        ShowTotalChecksum(ctx);
        NoteImageVerified(ctx, "");
    }

    const std::string version = ReadWriterVersion(ctx);
    if (version != s.IniVersion) {
        // The line below blames the versions; a version that did not come whole is the writer's doing.
        NoteShortAnswer(ctx, "version", s.ReplyLength, kVersionBytes);
        Line(ctx, "Writer driver version [" + version + "] & inifile version [" + s.IniVersion + "] no match !!!");
        Line(ctx, "Please undate writer driver program or inifile !!!");
        s.IniVersion = version;
        return StartupResult::OtherVersion;
    }
    return StartupResult::Ready;
}

}  // namespace

StartupResult RunStartup(Context& ctx, const StartupPlan& plan) {
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    const bool configured = plan.ini ? ReadWriterIni(ctx.state, ctx.view, ctx.workingDir, *plan.ini)
                                     : ReadWriterIni(ctx.state, ctx.view, ctx.workingDir);
    // A port the operator named wins over Writer.ini's, and whatever was
    // wrong with Writer.ini's is no matter then.
    if (!plan.port.empty()) {
        ctx.state.PortName = plan.port;
        ctx.state.PortProblem.clear();
        ctx.view.SetFieldText(Control::Edit3, plan.port);
    }
    // A Writer.ini that gave no port says why here, and again in the box of the
    // open that fails for it.
    if (!ctx.state.PortProblem.empty()) Line(ctx, ctx.state.PortProblem);
    ReportBodyRows(ctx);
    // The writer is checked all the same, so that the operator sees whether it answers.
    const StartupResult result = ConnectWriter(ctx);
    ClosePort(ctx);
    return configured ? result : StartupResult::NoIni;
}

}  // namespace otp
