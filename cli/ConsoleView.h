#pragma once
// The console face of the window: pane lines on stdout as plain text, message
// boxes on stderr as "TITLE: text", and, when stderr is a terminal, a
// progress bar there during long waits. Everything is also kept in the model.
#include <ostream>

#include "view/FormModel.h"

namespace otp {

class ConsoleView : public FormModel {
public:
    ConsoleView(std::ostream& out, std::ostream& err, bool progressBar)
        : out_(out), err_(err), progressBar_(progressBar) {}

    void AppendLine(Control pane, const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    void ShowProgress(bool on) override;
    void SetProgressPosition(int position) override;

private:
    void DrawBar();
    void EraseBar();

    std::ostream& out_;
    std::ostream& err_;
    bool progressBar_;
    bool barDrawn_ = false;
    int lastPercent_ = -1;
};

}  // namespace otp
