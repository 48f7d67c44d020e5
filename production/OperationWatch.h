#pragma once
// Looks over the window's shoulder during an operation: the first line that
// says what went wrong and whether a rolling code was shown. Everything
// passes on to the real view.
#include <string>

#include "link/Findings.h"
#include "view/ForwardingView.h"

namespace otp {

class OperationWatch : public ForwardingView {
public:
    using ForwardingView::ForwardingView;

    // Forgets what the last operation showed.
    void Begin();
    // The first failure line, box or notice since Begin, without a line's
    // leading blanks and arrow; the last pane line when nothing said more.
    std::string FirstFailure() const { return firstFailure_.empty() ? lastLine_ : firstFailure_; }
    // What went wrong, told whole: the first failure line with the findings
    // behind it, or the findings alone when no line said it (the last pane
    // line then says nothing about it).
    std::string FailureWith(const Findings& found) const;
    bool RollingCodeShown() const { return rollingCodeShown_; }

    void AppendLine(Control pane, const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;

private:
    void Failure(const std::string& text);

    std::string firstFailure_;
    std::string lastLine_;
    bool rollingCodeShown_ = false;
};

}  // namespace otp
