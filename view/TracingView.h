#pragma once
// Passes every view operation on to another view and reports it as one line:
// the operation's name, its arguments separated by one blank, a text argument
// last and verbatim. Queries and progress positions are not reported.
#include <functional>
#include <string>

#include "view/MainView.h"

namespace otp {

class TracingView : public MainView {
public:
    using Sink = std::function<void(const std::string&)>;
    TracingView(MainView& inner, Sink sink) : inner_(inner), sink_(std::move(sink)) {}

    void ClearPane(Control pane) override;
    void AppendLine(Control pane, const std::string& text) override;
    void SetFieldText(Control field, const std::string& text) override;
    std::string GetFieldText(Control field) override { return inner_.GetFieldText(field); }
    void SetCaption(const std::string& text) override;
    int GetSelection(Control selector) override { return inner_.GetSelection(selector); }
    void SetSelection(Control selector, int index) override;
    void ClearChoices(Control selector) override;
    void AddChoice(Control selector, const std::string& text) override;
    void SetDropDownCount(Control selector, int rows) override;
    void SetEnabled(Control control, bool on) override;
    void SetMenuVisible(Control menu, bool on) override;
    void SetMenuEnabled(Control menu, bool on) override;
    void ShowProgress(bool on) override;
    void SetProgressMax(int count) override;
    void SetProgressPosition(int position) override { inner_.SetProgressPosition(position); }
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void CloseWindow() override;

private:
    void Emit(const std::string& line) { sink_(line); }

    MainView& inner_;
    Sink sink_;
};

}  // namespace otp
