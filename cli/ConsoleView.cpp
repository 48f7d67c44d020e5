#include "cli/ConsoleView.h"

#include <algorithm>

#include "cli/ConsoleAnswers.h"

namespace otp {

void ConsoleView::AppendLine(Control pane, const std::string& text) {
    FormModel::AppendLine(pane, text);
    EraseBar();
    out_ << text << '\n';
    out_.flush();
}

void ConsoleView::ShowNotice(const std::string& text) {
    FormModel::ShowNotice(text);
    EraseBar();
    err_ << kApplicationTitle << ": " << text << '\n';
}

bool ConsoleView::AskYesNo(const std::string& text) {
    const bool yes = FormModel::AskYesNo(text);
    EraseBar();
    err_ << AnswerLine(text, yes, Question::YesNo) << '\n';
    return yes;
}

bool ConsoleView::AskLoadDamaged(const std::string& text) {
    const bool yes = FormModel::AskLoadDamaged(text);
    EraseBar();
    err_ << AnswerLine(text, yes, Question::LoadDamaged) << '\n';
    return yes;
}

void ConsoleView::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    FormModel::ShowErrorBox(title, text, withIcon);
    EraseBar();
    err_ << title << ": " << text << '\n';
}

void ConsoleView::ShowProgress(bool on) {
    FormModel::ShowProgress(on);
    lastPercent_ = -1;
    if (on) DrawBar();
    else EraseBar();
}

void ConsoleView::SetProgressPosition(int position) {
    FormModel::SetProgressPosition(position);
    if (ProgressShown()) DrawBar();
}

void ConsoleView::DrawBar() {
    if (!progressBar_) return;
    const long long max = ProgressMax();
    // A new maximum may come after the position it is measured against.
    const int percent = max > 0 ? static_cast<int>(std::clamp(ProgressPosition() * 100LL / max, 0LL, 100LL)) : 0;
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    const int filled = (percent * kWidth) / 100;
    err_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "%";
    err_.flush();
    barDrawn_ = true;
}

void ConsoleView::EraseBar() {
    if (!barDrawn_) return;
    err_ << "\r" << std::string(48, ' ') << "\r";
    err_.flush();
    barDrawn_ = false;
    lastPercent_ = -1;
}

}  // namespace otp
