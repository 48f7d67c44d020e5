#include "view/TracingView.h"

namespace otp {
namespace {
const char* OnOff(bool on) { return on ? "on" : "off"; }
std::string Name(Control c) { return ControlName(c); }
std::string Answer(const std::optional<std::string>& path) { return path ? *path : std::string("cancelled"); }
}  // namespace

void TracingView::ClearPane(Control pane) {
    Emit("ClearPane " + Name(pane));
    inner_.ClearPane(pane);
}

void TracingView::AppendLine(Control pane, const std::string& text) {
    Emit("AppendLine " + Name(pane) + " " + text);
    inner_.AppendLine(pane, text);
}

void TracingView::SetFieldText(Control field, const std::string& text) {
    Emit("SetFieldText " + Name(field) + " " + text);
    inner_.SetFieldText(field, text);
}

void TracingView::SetCaption(const std::string& text) {
    Emit("SetCaption " + text);
    inner_.SetCaption(text);
}

void TracingView::SetSelection(Control selector, int index) {
    Emit("SetSelection " + Name(selector) + " " + std::to_string(index));
    inner_.SetSelection(selector, index);
}

void TracingView::ClearChoices(Control selector) {
    Emit("ClearChoices " + Name(selector));
    inner_.ClearChoices(selector);
}

void TracingView::AddChoice(Control selector, const std::string& text) {
    Emit("AddChoice " + Name(selector) + " " + text);
    inner_.AddChoice(selector, text);
}

void TracingView::SetDropDownCount(Control selector, int rows) {
    Emit("SetDropDownCount " + Name(selector) + " " + std::to_string(rows));
    inner_.SetDropDownCount(selector, rows);
}

void TracingView::SetEnabled(Control control, bool on) {
    Emit("SetEnabled " + Name(control) + " " + OnOff(on));
    inner_.SetEnabled(control, on);
}

void TracingView::SetMenuVisible(Control menu, bool on) {
    Emit("SetMenuVisible " + Name(menu) + " " + OnOff(on));
    inner_.SetMenuVisible(menu, on);
}

void TracingView::SetMenuEnabled(Control menu, bool on) {
    Emit("SetMenuEnabled " + Name(menu) + " " + OnOff(on));
    inner_.SetMenuEnabled(menu, on);
}

void TracingView::ShowProgress(bool on) {
    Emit(std::string("ShowProgress ") + OnOff(on));
    inner_.ShowProgress(on);
}

void TracingView::SetProgressMax(int count) {
    Emit("SetProgressMax " + std::to_string(count));
    inner_.SetProgressMax(count);
}

void TracingView::ShowNotice(const std::string& text) {
    Emit("ShowNotice " + text);
    inner_.ShowNotice(text);
}

bool TracingView::AskYesNo(const std::string& text) {
    const bool yes = inner_.AskYesNo(text);
    Emit("AskYesNo " + text + " -> " + (yes ? "yes" : "no"));
    return yes;
}

bool TracingView::AskLoadDamaged(const std::string& text) {
    const bool yes = inner_.AskLoadDamaged(text);
    Emit("AskLoadDamaged " + text + " -> " + (yes ? "yes" : "no"));
    return yes;
}

void TracingView::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    Emit("ShowErrorBox " + title + " " + text);
    inner_.ShowErrorBox(title, text, withIcon);
}

std::optional<std::string> TracingView::ChooseOpenFile() {
    auto path = inner_.ChooseOpenFile();
    Emit("ChooseOpenFile -> " + Answer(path));
    return path;
}

std::optional<std::string> TracingView::ChooseSaveFile() {
    auto path = inner_.ChooseSaveFile();
    Emit("ChooseSaveFile -> " + Answer(path));
    return path;
}

void TracingView::CloseWindow() {
    Emit("CloseWindow");
    inner_.CloseWindow();
}

}  // namespace otp
