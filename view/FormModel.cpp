#include "view/FormModel.h"

namespace otp {

std::vector<std::string> DesignBankItems() {
    return {"Bank 0", "Bank 1", "Bank 2", "Bank 3", "Bank 4",
            "Bank 5", "Bank 6", "Bank 7", "Last Used", "1st Un-use"};
}

std::vector<std::string> OffOnItems() { return {"OFF", "ON"}; }

FormModel::FormModel() : caption_(kDesignCaption) {
    panes_[Control::RichEdit1] = {"RichEdit1"};
    panes_[Control::RichEdit2] = {"RichEdit2"};
    fields_[Control::Edit1] = "FE00";
    fields_[Control::Edit2] = "";
    fields_[Control::Edit3] = "";
    selectors_[Control::ComboBox1].dropDownRows = 16;
    selectors_[Control::ComboBox3].items = OffOnItems();
    selectors_[Control::ComboBox4].items = OffOnItems();
    selectors_[Control::ComboBox5].items = DesignBankItems();
    selectors_[Control::ComboBox5].dropDownRows = 10;
}

const std::vector<std::string>& FormModel::Lines(Control pane) const {
    static const std::vector<std::string> kNone;
    auto it = panes_.find(pane);
    return it == panes_.end() ? kNone : it->second;
}

std::string FormModel::Field(Control field) const {
    auto it = fields_.find(field);
    return it == fields_.end() ? std::string() : it->second;
}

const SelectorModel& FormModel::Selector(Control selector) const {
    static const SelectorModel kNone;
    auto it = selectors_.find(selector);
    return it == selectors_.end() ? kNone : it->second;
}

SelectorModel& FormModel::SelectorRef(Control selector) { return selectors_[selector]; }

std::string FormModel::SelectedText(Control selector) const {
    const SelectorModel& m = Selector(selector);
    if (m.selection < 0 || m.selection >= static_cast<int>(m.items.size())) return {};
    return m.items[static_cast<size_t>(m.selection)];
}

bool FormModel::Enabled(Control control) const {
    auto it = disabled_.find(control);
    return it == disabled_.end() || !it->second;
}

bool FormModel::MenuVisible(Control menu) const {
    auto it = menuHidden_.find(menu);
    return it == menuHidden_.end() || !it->second;
}

bool FormModel::MenuEnabled(Control menu) const {
    auto it = menuDisabled_.find(menu);
    return it == menuDisabled_.end() || !it->second;
}

void FormModel::ClearPane(Control pane) { panes_[pane].clear(); }
void FormModel::AppendLine(Control pane, const std::string& text) { panes_[pane].push_back(text); }
void FormModel::SetFieldText(Control field, const std::string& text) { fields_[field] = text; }

std::string FormModel::GetFieldText(Control field) {
    if (field == Control::ComboBox1) return Selector(field).text;
    return Field(field);
}

void FormModel::SetCaption(const std::string& text) { caption_ = text; }

int FormModel::GetSelection(Control selector) { return Selector(selector).selection; }

void FormModel::SetSelection(Control selector, int index) {
    SelectorModel& m = SelectorRef(selector);
    // An index outside the list leaves no item selected.
    m.selection = (index >= 0 && index < static_cast<int>(m.items.size())) ? index : -1;
    m.text = m.selection < 0 ? std::string() : m.items[static_cast<size_t>(m.selection)];
}

void FormModel::ClearChoices(Control selector) {
    SelectorModel& m = SelectorRef(selector);
    m.items.clear();
    m.selection = -1;
    m.text.clear();
}

void FormModel::AddChoice(Control selector, const std::string& text) { SelectorRef(selector).items.push_back(text); }
void FormModel::SetDropDownCount(Control selector, int rows) { SelectorRef(selector).dropDownRows = rows; }
void FormModel::SetEnabled(Control control, bool on) { disabled_[control] = !on; }
void FormModel::SetMenuVisible(Control menu, bool on) { menuHidden_[menu] = !on; }
void FormModel::SetMenuEnabled(Control menu, bool on) { menuDisabled_[menu] = !on; }
void FormModel::ShowProgress(bool on) { progressShown_ = on; }
void FormModel::SetProgressMax(int count) { progressMax_ = count < 0 ? 0 : count; }
void FormModel::SetProgressPosition(int position) { progressPosition_ = position; }
void FormModel::ShowNotice(const std::string&) {}
bool FormModel::AskYesNo(const std::string&) {
    if (!yesAnswer) refused_ = Question::YesNo;
    return yesAnswer;
}
bool FormModel::AskLoadDamaged(const std::string&) {
    if (!loadDamagedAnswer) refused_ = Question::LoadDamaged;
    return loadDamagedAnswer;
}
void FormModel::ShowErrorBox(const std::string&, const std::string&, bool) {}

std::optional<std::string> FormModel::ChooseOpenFile() {
    if (openFiles.empty()) return std::nullopt;
    std::string path = openFiles.front();
    openFiles.pop_front();
    return path;
}

std::optional<std::string> FormModel::ChooseSaveFile() {
    if (saveFiles.empty()) return std::nullopt;
    std::string path = saveFiles.front();
    saveFiles.pop_front();
    return path;
}

void FormModel::CloseWindow() { closed_ = true; }

}  // namespace otp
