#pragma once
// A view that passes every operation on to another one; a view that only
// looks at a few operations derives from it and overrides those.
#include <optional>
#include <string>

#include "view/MainView.h"

namespace otp {

class ForwardingView : public MainView {
public:
    explicit ForwardingView(MainView& inner) : inner_(inner) {}

    void ClearPane(Control pane) override { inner_.ClearPane(pane); }
    void AppendLine(Control pane, const std::string& text) override { inner_.AppendLine(pane, text); }
    void SetFieldText(Control field, const std::string& text) override { inner_.SetFieldText(field, text); }
    std::string GetFieldText(Control field) override { return inner_.GetFieldText(field); }
    void SetCaption(const std::string& text) override { inner_.SetCaption(text); }
    int GetSelection(Control selector) override { return inner_.GetSelection(selector); }
    void SetSelection(Control selector, int index) override { inner_.SetSelection(selector, index); }
    void ClearChoices(Control selector) override { inner_.ClearChoices(selector); }
    void AddChoice(Control selector, const std::string& text) override { inner_.AddChoice(selector, text); }
    void SetDropDownCount(Control selector, int rows) override { inner_.SetDropDownCount(selector, rows); }
    void SetEnabled(Control control, bool on) override { inner_.SetEnabled(control, on); }
    void SetMenuVisible(Control menu, bool on) override { inner_.SetMenuVisible(menu, on); }
    void SetMenuEnabled(Control menu, bool on) override { inner_.SetMenuEnabled(menu, on); }
    void ShowProgress(bool on) override { inner_.ShowProgress(on); }
    void SetProgressMax(int count) override { inner_.SetProgressMax(count); }
    void SetProgressPosition(int position) override { inner_.SetProgressPosition(position); }
    void ShowNotice(const std::string& text) override { inner_.ShowNotice(text); }
    bool AskYesNo(const std::string& text) override { return inner_.AskYesNo(text); }
    bool AskLoadDamaged(const std::string& text) override { return inner_.AskLoadDamaged(text); }
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override {
        inner_.ShowErrorBox(title, text, withIcon);
    }
    std::optional<std::string> ChooseOpenFile() override { return inner_.ChooseOpenFile(); }
    std::optional<std::string> ChooseSaveFile() override { return inner_.ChooseSaveFile(); }
    void CloseWindow() override { inner_.CloseWindow(); }

protected:
    MainView& inner_;
};

}  // namespace otp
