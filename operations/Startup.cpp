#include "operations/Startup.h"

#include "config/WriterIni.h"

namespace otp {

Outcome RunStartup(Context& ctx) {
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    if (!ReadWriterIni(ctx.state, ctx.view, ctx.workingDir)) {
        ctx.view.AppendLine(Control::RichEdit2,
                            std::string(kIniFileName) + " not found in the working directory " + ctx.workingDir + " !!!");
    }
    return Outcome::Done;
}

}  // namespace otp
