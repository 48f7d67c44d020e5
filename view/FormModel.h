#pragma once
// The window's observable state without a toolkit: panes, fields, selectors,
// menus and progress as the logic last set them, starting from the state the
// window is built with. The console front end and the tests run on it.
#include <deque>
#include <utility>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "view/MainView.h"

namespace otp {

struct SelectorModel {
    std::vector<std::string> items;
    int selection = -1;
    std::string text;  // the text part; equals the selected item's text after a pick
    int dropDownRows = 8;
};

class FormModel : public MainView {
public:
    FormModel();

    // Answers to the dialogs.
    bool yesAnswer = false;  // AskYesNo
    bool loadDamagedAnswer = false;  // AskLoadDamaged
    // The question last answered no, so that a front end can name what
    // would have answered yes; taking it forgets it.
    enum class Question { None, YesNo, LoadDamaged };
    Question TakeRefusedQuestion() { return std::exchange(refused_, Question::None); }
    std::deque<std::string> openFiles;  // ChooseOpenFile takes the first, or cancels when empty
    std::deque<std::string> saveFiles;

    const std::vector<std::string>& Lines(Control pane) const;
    std::string Field(Control field) const;
    const SelectorModel& Selector(Control selector) const;
    std::string SelectedText(Control selector) const;
    bool Enabled(Control control) const;
    bool MenuVisible(Control menu) const;
    bool MenuEnabled(Control menu) const;
    std::string Caption() const { return caption_; }
    bool ProgressShown() const { return progressShown_; }
    int ProgressMax() const { return progressMax_; }
    int ProgressPosition() const { return progressPosition_; }
    bool Closed() const { return closed_; }

    void ClearPane(Control pane) override;
    void AppendLine(Control pane, const std::string& text) override;
    void SetFieldText(Control field, const std::string& text) override;
    std::string GetFieldText(Control field) override;
    void SetCaption(const std::string& text) override;
    int GetSelection(Control selector) override;
    void SetSelection(Control selector, int index) override;
    void ClearChoices(Control selector) override;
    void AddChoice(Control selector, const std::string& text) override;
    void SetDropDownCount(Control selector, int rows) override;
    void SetEnabled(Control control, bool on) override;
    void SetMenuVisible(Control menu, bool on) override;
    void SetMenuEnabled(Control menu, bool on) override;
    void ShowProgress(bool on) override;
    void SetProgressMax(int count) override;
    void SetProgressPosition(int position) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void CloseWindow() override;

private:
    SelectorModel& SelectorRef(Control selector);
    Question refused_ = Question::None;

    std::map<Control, std::vector<std::string>> panes_;
    std::map<Control, std::string> fields_;
    std::map<Control, SelectorModel> selectors_;
    std::map<Control, bool> disabled_;
    std::map<Control, bool> menuHidden_;
    std::map<Control, bool> menuDisabled_;
    std::string caption_;
    bool progressShown_ = false;
    int progressMax_ = 100;
    int progressPosition_ = 0;
    bool closed_ = false;
};

// The lists the selectors are built with.
std::vector<std::string> DesignBankItems();
std::vector<std::string> OffOnItems();

}  // namespace otp
