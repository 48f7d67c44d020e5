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

// Checks the writer and takes over what it holds.
StartupResult ConnectWriter(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    OpenPort(ctx);
    ctx.pacer.Sleep(50);
    ctx.link.imageVerified = false;
    if (s.PortFailed) {
        Line(ctx, s.PortName + " Connect Error (1)!!!");
        return StartupResult::NoWriter;
    }
    ReadBodyInfo(ctx, 1);
    ApplyBodyInfo(s, view);
    if (s.BodyInfo[0][0] != 0xA5 || s.ReplyLength != kBodyInfoWireBytes) {
        Line(ctx, s.PortName + " Connect Error (2)!!!");
        return StartupResult::NoWriter;
    }
    Line(ctx, s.PortName + " Connect OK !!!");

    const HeldImage before = HeldImage::Of(s);
    s.ObjectLength = BodyImageCount(s);
    BlockRead read = ReadOptionBytes(ctx, 0, false);
    if (read.complete) read = ReadObjectBack(ctx, 0, false);
    if (!read.complete) {
        // Half of the writer's data is none of it.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
        Line(ctx, ShortReadLine("Connect", read.received, read.requested));
        return StartupResult::NoWriter;
    }
    ctx.link.imageVerified = true;
    // The start-up total counts option bytes 0-7 only.
    OptionChecksum(s, 8);
    ObjectChecksum(s, s.ObjectLength);
    ShowTotalChecksum(ctx);

    const std::string version = ReadWriterVersion(ctx);
    if (version != s.IniVersion) {
        Line(ctx, "Writer driver version [" + version + "] & inifile version [" + s.IniVersion + "] no match !!!");
        Line(ctx, "Please undate writer driver program or inifile !!!");
        s.IniVersion = version;
        return StartupResult::OtherVersion;
    }
    return StartupResult::Ready;
}

}  // namespace

StartupResult RunStartup(Context& ctx) {
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    std::string error;
    const bool configured = ReadWriterIni(ctx.state, ctx.view, ctx.workingDir, error);
    if (!configured) {
        const std::string ini = kIniFileName;
        Line(ctx, error.empty() ? ini + " not found in the working directory " + ctx.workingDir + " !!!"
                                : ini + " in " + ctx.workingDir + " can not be read (" + error + ") !!!");
    }
    // The writer is checked all the same, so that the operator sees whether it answers.
    const StartupResult result = ConnectWriter(ctx);
    ClosePort(ctx);
    return configured ? result : StartupResult::NoIni;
}

}  // namespace otp
