#include "romfile/SaveRomFile.h"

#include "link/LogLine.h"
#include "link/Transfers.h"
#include "romfile/ChosenFile.h"
#include "romfile/FileReplace.h"
#include "romfile/IniSections.h"
#include "romfile/RomFormat.h"

namespace otp {

Outcome SaveROMFile1Click(Context& ctx) {
    WriterState& s = ctx.state;
    MainView& view = ctx.view;
    view.ClearPane(Control::RichEdit1);
    view.ClearPane(Control::RichEdit2);
    // Without a body there is no option text, no OFFSET and no BODY line:
    // such a file could never be loaded again.
    const std::string bodyName = view.GetFieldText(Control::ComboBox1);
    if (view.GetSelection(Control::ComboBox1) < 0 || bodyName.empty()) {
        view.ShowNotice("No Body selected, ROM file not saved !!!");
        return Outcome::Refused;
    }
    const auto chosen = view.ChooseSaveFile();
    if (!chosen) return Outcome::Done;
    const std::string path = ResolveChosenPath(ctx.workingDir, *chosen);
    view.SetFieldText(Control::Edit2, BareFileName(*chosen));

    std::string error;
    auto ini = TextLines::Open(s.IniPath, error);
    if (!ini) {
        view.ShowNotice("Can not read [" + s.IniPath + "] (" + error + "), ROM file not saved !!!");
        return Outcome::Failed;
    }
    const std::string optionBlock = CopyOptionBlock(*ini, bodyName, s);

    OptionChecksum(s, 8);
    s.ObjectLength = BodyImageCount(s);
    SetLayoutFromBodyInfo(s);
    ObjectChecksum(s, s.ObjectLength);
    const std::string text = FormatRomFile(s, bodyName, SelectedBodyOffset(ctx), optionBlock);

    if (!ReplaceFileContents(path, WithCrLf(text), error)) {
        view.ShowNotice("Can not write [" + path + "] (" + error + "), ROM file not saved !!!");
        return Outcome::Failed;
    }
    Line(ctx, "Data save to [" + view.GetFieldText(Control::Edit2) + "] OK !!!");
    return Outcome::Done;
}

}  // namespace otp
