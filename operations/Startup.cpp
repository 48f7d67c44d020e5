#include "operations/Startup.h"

#include "config/ApplyBodyInfo.h"
#include "config/WriterIni.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "maintenance/WriterVersion.h"

namespace otp {
namespace {

// Checks the writer and takes over what it holds; false when it did not
// answer with a valid body description.
bool ConnectWriter(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    OpenPort(ctx);
    ctx.pacer.Sleep(50);
    if (s.PortFailed) {
        view.AppendLine(Control::RichEdit2, s.PortName + " Connect Error (1)!!!");
        return false;
    }
    ReadBodyInfo(ctx, 1);
    ApplyBodyInfo(s, view);
    if (s.BodyInfo[0][0] != 0xA5 || s.ReplyLength != kBodyInfoWireBytes) {
        view.AppendLine(Control::RichEdit2, s.PortName + " Connect Error (2)!!!");
        return false;
    }
    view.AppendLine(Control::RichEdit2, s.PortName + " Connect OK !!!");

    s.ObjectLength = BodyObjectLength(s.BodyInfo[0]);
    ReadOptionBytes(ctx, 0, false);
    ReadObjectBack(ctx, 0, false);
    // The start-up total counts option bytes 0-7 only.
    OptionChecksum(s, 8);
    ObjectChecksum(s, s.ObjectLength);
    ShowTotalChecksum(ctx);

    const std::string version = ReadWriterVersion(ctx);
    if (version != s.IniVersion) {
        view.AppendLine(Control::RichEdit2, "Writer driver version [" + version + "] & inifile version [" +
                                                s.IniVersion + "] no match !!!");
        view.AppendLine(Control::RichEdit2, "Please undate writer driver program or inifile !!!");
        s.IniVersion = version;
    }
    return true;
}

}  // namespace

Outcome RunStartup(Context& ctx) {
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    std::string error;
    if (!ReadWriterIni(ctx.state, ctx.view, ctx.workingDir, error)) {
        const std::string ini = kIniFileName;
        ctx.view.AppendLine(Control::RichEdit2,
                            error.empty() ? ini + " not found in the working directory " + ctx.workingDir + " !!!"
                                          : ini + " in " + ctx.workingDir + " can not be read (" + error + ") !!!");
    }
    const bool connected = ConnectWriter(ctx);
    ClosePort(ctx);
    return connected ? Outcome::Done : Outcome::Failed;
}

}  // namespace otp
