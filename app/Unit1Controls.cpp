// The view operations on the window's controls: the two panes, the fields,
// the caption, the selectors, enabling controls and the Testcode menu. A
// control the window has not for an operation is the logic's error.
#include "app/Unit1.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <stdexcept>

#include "app/Latin1Text.h"
#include "ui_unit1.h"

namespace {

using otp::FromQ;
using otp::ToQ;

[[noreturn]] void NoSuchControl(const char* operation, otp::Control control) {
    throw std::logic_error(std::string(operation) + ": the window has no " + otp::ControlName(control) +
                           " for this operation");
}

// The widget `operation` works on; the window has none for `control` when the
// lookup found none.
template <typename Widget>
Widget& Require(Widget* widget, const char* operation, otp::Control control) {
    if (widget == nullptr) NoSuchControl(operation, control);
    return *widget;
}

}  // namespace

// ---------------------------------------------------------------------------
// Control lookup

QPlainTextEdit* TForm1::Pane(otp::Control pane) const {
    switch (pane) {
        case otp::Control::RichEdit1: return ui_->RichEdit1;
        case otp::Control::RichEdit2: return ui_->RichEdit2;
        default: return nullptr;
    }
}

int& TForm1::PaneLineCount(otp::Control pane) {
    return pane == otp::Control::RichEdit1 ? upperLines_ : lowerLines_;
}

QLineEdit* TForm1::Field(otp::Control field) const {
    switch (field) {
        case otp::Control::Edit1: return ui_->Edit1;
        case otp::Control::Edit2: return ui_->Edit2;
        case otp::Control::Edit3: return ui_->Edit3;
        default: return nullptr;
    }
}

QComboBox* TForm1::Selector(otp::Control selector) const {
    switch (selector) {
        case otp::Control::ComboBox1: return ui_->ComboBox1;
        case otp::Control::ComboBox3: return ui_->ComboBox3;
        case otp::Control::ComboBox4: return ui_->ComboBox4;
        case otp::Control::ComboBox5: return ui_->ComboBox5;
        default: return nullptr;
    }
}

QWidget* TForm1::ControlWidget(otp::Control control) const {
    if (QWidget* w = Pane(control)) return w;
    if (QWidget* w = Field(control)) return w;
    if (QWidget* w = Selector(control)) return w;
    switch (control) {
        case otp::Control::Button1: return ui_->Button1;
        case otp::Control::Button2: return ui_->Button2;
        case otp::Control::Button3: return ui_->Button3;
        case otp::Control::Button4: return ui_->Button4;
        case otp::Control::Button5: return ui_->Button5;
        case otp::Control::Button6: return ui_->Button6;
        default: return nullptr;
    }
}

QAction* TForm1::MenuAction(otp::Control menu) const {
    switch (menu) {
        case otp::Control::Testcode1: return ui_->Testcode1->menuAction();
        case otp::Control::Write1: return ui_->Write1;
        default: return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Panes

void TForm1::ClearPane(otp::Control pane) {
    QPlainTextEdit& edit = Require(Pane(pane), "ClearPane", pane);
    edit.clear();
    PaneLineCount(pane) = 0;
    ShowNow(&edit);
}

void TForm1::AppendLine(otp::Control pane, const std::string& text) {
    QPlainTextEdit& edit = Require(Pane(pane), "AppendLine", pane);
    int& lines = PaneLineCount(pane);
    if (lines > 0 && edit.document()->isEmpty()) {
        // The pane holds one empty line, which appending would fill instead
        // of keeping it.
        QTextCursor cursor(edit.document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(ToQ(text));
    } else {
        edit.appendPlainText(ToQ(text));  // follows the end when it was shown
    }
    ++lines;
    ShowNow(&edit);
}

// ---------------------------------------------------------------------------
// Fields and caption

void TForm1::SetFieldText(otp::Control field, const std::string& text) {
    QLineEdit& edit = Require(Field(field), "SetFieldText", field);
    edit.setText(ToQ(text));
    ShowNow(&edit);
}

std::string TForm1::GetFieldText(otp::Control field) {
    if (QLineEdit* edit = Field(field)) return FromQ(edit->text());
    if (QComboBox* box = Selector(field)) return FromQ(box->currentText());
    NoSuchControl("GetFieldText", field);
}

void TForm1::SetCaption(const std::string& text) { setWindowTitle(ToQ(text)); }

// ---------------------------------------------------------------------------
// Selectors

int TForm1::GetSelection(otp::Control selector) {
    return Require(Selector(selector), "GetSelection", selector).currentIndex();
}

void TForm1::SetSelection(otp::Control selector, int index) {
    QComboBox& box = Require(Selector(selector), "SetSelection", selector);
    // setCurrentIndex emits no `activated` and no `textEdited`, so no change
    // handler runs.
    box.setCurrentIndex(index >= 0 && index < box.count() ? index : -1);
    ShowNow(&box);
}

void TForm1::ClearChoices(otp::Control selector) {
    QComboBox& box = Require(Selector(selector), "ClearChoices", selector);
    box.clear();
    if (box.isEditable()) box.clearEditText();
    ShowNow(&box);
}

void TForm1::AddChoice(otp::Control selector, const std::string& text) {
    QComboBox& box = Require(Selector(selector), "AddChoice", selector);
    // A list that gains its first item selects it on its own; adding an item
    // changes no selection here.
    const int selected = box.currentIndex();
    box.addItem(ToQ(text));
    if (box.currentIndex() != selected) box.setCurrentIndex(selected);
}

void TForm1::SetDropDownCount(otp::Control selector, int rows) {
    Require(Selector(selector), "SetDropDownCount", selector).setMaxVisibleItems(std::max(rows, 0));
}

// ---------------------------------------------------------------------------
// Enabling and menus

void TForm1::SetEnabled(otp::Control control, bool on) {
    if (QWidget* w = ControlWidget(control)) {
        w->setEnabled(on);
        ShowNow(w);
    } else if (QAction* a = MenuAction(control)) {
        a->setEnabled(on);
    } else {
        NoSuchControl("SetEnabled", control);
    }
}

void TForm1::SetMenuVisible(otp::Control menu, bool on) {
    Require(MenuAction(menu), "SetMenuVisible", menu).setVisible(on);
}

void TForm1::SetMenuEnabled(otp::Control menu, bool on) {
    Require(MenuAction(menu), "SetMenuEnabled", menu).setEnabled(on);
}
