#include "cli/StationView.h"

#include "cli/ConsoleAnswers.h"

namespace otp {

void StationView::SetActivity(const std::string& activity) {
    activity_ = activity;
    ShowLive(true);
}

void StationView::ShowLive(bool now) {
    // Nothing is drawn where stderr is no terminal: no line is made for it.
    if (!console_.ShowsLive()) return;
    console_.Live(index_, LiveLine(writer_, activity_, ProgressPosition(), ProgressMax(), ProgressShown()), now);
}

void StationView::AppendLine(Control pane, const std::string& text) {
    FormModel::AppendLine(pane, text);
    console_.Out(writer_ + ": " + text);
}

void StationView::ShowNotice(const std::string& text) {
    FormModel::ShowNotice(text);
    console_.Err(writer_ + ": " + kApplicationTitle + ": " + text);
}

bool StationView::AskYesNo(const std::string& text) {
    const bool yes = FormModel::AskYesNo(text);
    console_.Err(writer_ + ": " + AnswerLine(text, yes, Question::YesNo));
    return yes;
}

bool StationView::AskLoadDamaged(const std::string& text) {
    const bool yes = FormModel::AskLoadDamaged(text);
    console_.Err(writer_ + ": " + AnswerLine(text, yes, Question::LoadDamaged));
    return yes;
}

void StationView::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    FormModel::ShowErrorBox(title, text, withIcon);
    console_.Err(writer_ + ": " + title + ": " + text);
}

void StationView::ShowProgress(bool on) {
    FormModel::ShowProgress(on);
    ShowLive(true);
}

void StationView::SetProgressMax(int count) {
    FormModel::SetProgressMax(count);
    ShowLive(false);
}

void StationView::SetProgressPosition(int position) {
    FormModel::SetProgressPosition(position);
    ShowLive(false);
}

}  // namespace otp
