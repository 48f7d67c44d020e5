#include "app/TileFeed.h"

#include <algorithm>

#include "app/Latin1Text.h"

namespace otp {
namespace {

int PaneIndex(Control pane) { return pane == Control::RichEdit1 ? 0 : 1; }

}  // namespace

void TileFeed::ClearPane(Control pane) {
    FormModel::ClearPane(pane);
    emit paneCleared(PaneIndex(pane));
}

void TileFeed::AppendLine(Control pane, const std::string& text) {
    FormModel::AppendLine(pane, text);
    emit lineAdded(PaneIndex(pane), ToQ(text));
}

void TileFeed::SetFieldText(Control field, const std::string& text) {
    FormModel::SetFieldText(field, text);
    emit fieldChanged(static_cast<int>(field), ToQ(text));
}

void TileFeed::Progress() {
    const int max = ProgressMax();
    const int percent = max > 0 ? std::clamp(static_cast<int>(ProgressPosition() * 100LL / max), 0, 100) : 0;
    // One signal a percent: a stream of a thousand steps is not a thousand repaints.
    if (percent == lastPercent_ && ProgressShown() == lastShown_) return;
    lastPercent_ = percent;
    lastShown_ = ProgressShown();
    emit progressChanged(lastShown_, percent);
}

void TileFeed::ShowProgress(bool on) {
    FormModel::ShowProgress(on);
    Progress();
}

void TileFeed::SetProgressMax(int count) {
    FormModel::SetProgressMax(count);
    Progress();
}

void TileFeed::SetProgressPosition(int position) {
    FormModel::SetProgressPosition(position);
    Progress();
}

void TileFeed::ShowNotice(const std::string& text) {
    FormModel::ShowNotice(text);
    emit said(ToQ(text));
}

bool TileFeed::AskLoadDamaged(const std::string& text) {
    FormModel::AskLoadDamaged(text);
    return askLoadDamaged ? askLoadDamaged(text) : false;
}

void TileFeed::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    FormModel::ShowErrorBox(title, text, withIcon);
    emit said(ToQ(title + ": " + text));
}

}  // namespace otp
