#include "app/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <stdexcept>

#include "app/FileDialogFilter.h"
#include "app/Handlers.h"
#include "app/Latin1Text.h"
#include "operations/Startup.h"
#include "ui_unit1.h"

namespace {

using otp::FromQ;
using otp::ToQ;

[[noreturn]] void NoSuchControl(const char* operation, otp::Control control) {
    throw std::logic_error(std::string(operation) + ": the window has no " + otp::ControlName(control) +
                           " for this operation");
}

QFont PixelFont(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

TForm1::TForm1(otp::PortOpener& opener, std::string workingDir, QWidget* parent, otp::Pacer* pacer)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TForm1>()),
      guard_(*this),
      ownPacer_(guard_, pump_),
      pacer_(pacer != nullptr ? pacer : &ownPacer_) {
    ui_->setupUi(this);
    pump_.beforeEvents = [this] { PaintChanged(); };
    // What the operator types into the lock selector stays as typed: no
    // completion, and no new items from it.
    ui_->ComboBox4->setCompleter(nullptr);
    ui_->ComboBox4->setInsertPolicy(QComboBox::NoInsert);
    ApplyFonts();
    FitToControls();
    ConnectHandlers();

    session_ = std::make_unique<otp::Session>(*this, *pacer_, opener, std::move(workingDir));

    // The start-up runs inside the window's creation, before it is shown.
    std::optional<std::string> failure;
    {
        running_ = true;
        otp::InputGuard::Hold hold(guard_);
        failure = RunGuarded([this] { otp::RunStartup(session_->ctx()); });
        pump_.Run();  // the last state shows, and input that came meanwhile goes
        running_ = false;
    }
    if (failure) ShowFailure(*failure);
}

TForm1::~TForm1() = default;

// ---------------------------------------------------------------------------
// Building

void TForm1::ApplyFonts() {
    // Arial 13 px is the window's font; the controls below use MS Sans Serif.
    // Where a family is missing, a face of about the same width stands in,
    // so that the texts fit the controls laid out for them; failing those,
    // the platform picks a sans-serif face.
    static const bool substituted = [] {
        const QStringList narrowFaces = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                         QStringLiteral("DejaVu Sans Condensed")};
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   QStringList{QStringLiteral("Microsoft Sans Serif")} + narrowFaces);
        QFont::insertSubstitutions(QStringLiteral("Arial"), narrowFaces);
        return true;
    }();
    (void)substituted;
    setFont(PixelFont("Arial", 13));
    const QFont sans13 = PixelFont("MS Sans Serif", 13);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui_->Label4, ui_->Edit2, ui_->Label1, ui_->Edit1, ui_->Label3, ui_->Label2, ui_->ComboBox1,
             ui_->Label5, ui_->Label6, ui_->Button1, ui_->Button2, ui_->Button3, ui_->Button4, ui_->Button5,
             ui_->Button6}) {
        w->setFont(sans13);
    }
    const QFont paneFont = PixelFont("MS Sans Serif", 16);
    ui_->RichEdit1->setFont(paneFont);
    ui_->RichEdit2->setFont(paneFont);
    // The menus keep the system's menu font.
    ui_->MainMenu1->setFont(QApplication::font(ui_->MainMenu1));
}

void TForm1::FitToControls() {
    // The client area is exactly as large as its controls reach; the window
    // is the client area plus the menu bar, and does not resize.
    const QRect reach = ui_->ClientArea->childrenRect();
    const QSize client(reach.x() + reach.width(), reach.y() + reach.height());
    ui_->ClientArea->setFixedSize(client);
    setFixedSize(client.width(), client.height() + ui_->MainMenu1->sizeHint().height());
}

// The one place where the window's events meet their handlers.
void TForm1::ConnectHandlers() {
    connect(ui_->LoadROMFile1, &QAction::triggered, this, &TForm1::LoadROMFile1Click);
    connect(ui_->SaveROMFile1, &QAction::triggered, this, &TForm1::SaveROMFile1Click);
    connect(ui_->UploadtoWriter1, &QAction::triggered, this, &TForm1::UploadtoWriter1Click);
    connect(ui_->Version1, &QAction::triggered, this, &TForm1::Version1Click);
    connect(ui_->UpdateWriter1, &QAction::triggered, this, &TForm1::UpdateWriter1Click);
    connect(ui_->Read1, &QAction::triggered, this, &TForm1::Read1Click);
    connect(ui_->Write1, &QAction::triggered, this, &TForm1::Write1Click);
    connect(ui_->Quit1, &QAction::triggered, this, &TForm1::Quit1Click);
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(ui_->Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(ui_->Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    // Only the operator's own pick runs a selector's handler: `activated`
    // is not emitted for selections made from code.
    connect(ui_->ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ui_->ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);
    connect(ui_->ComboBox4, &QComboBox::activated, this, &TForm1::ComboBox4Change);
    connect(ui_->ComboBox5, &QComboBox::activated, this, &TForm1::ComboBox5Change);
    connect(ui_->ComboBox4->lineEdit(), &QLineEdit::textEdited, this, &TForm1::ComboBox4TextEdited);
}

void TForm1::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        if (QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

// ---------------------------------------------------------------------------
// Handlers

void TForm1::LoadROMFile1Click() { RunOperation("LoadROMFile1Click"); }
void TForm1::SaveROMFile1Click() { RunOperation("SaveROMFile1Click"); }
void TForm1::UploadtoWriter1Click() { RunOperation("UploadtoWriter1Click"); }
void TForm1::Version1Click() { RunOperation("Version1Click"); }
void TForm1::UpdateWriter1Click() { RunOperation("UpdateWriter1Click"); }
void TForm1::Read1Click() { RunOperation("Read1Click"); }
void TForm1::Write1Click() { RunOperation("Write1Click"); }
void TForm1::Quit1Click() { RunOperation("Quit1Click"); }
void TForm1::Button1Click() { RunOperation("Button1Click"); }
void TForm1::Button2Click() { RunOperation("Button2Click"); }
void TForm1::Button3Click() { RunOperation("Button3Click"); }
void TForm1::Button4Click() { RunOperation("Button4Click"); }
void TForm1::Button5Click() { RunOperation("Button5Click"); }
void TForm1::Button6Click() { RunOperation("Button6Click"); }
void TForm1::ComboBox1Change() { RunOperation("ComboBox1Change"); }
void TForm1::ComboBox3Change() { RunOperation("ComboBox3Change"); }
void TForm1::ComboBox4Change() { RunOperation("ComboBox4Change"); }
void TForm1::ComboBox5Change() { RunOperation("ComboBox5Change"); }

void TForm1::RunOperation(const char* handler) {
    const otp::WindowOperation operation = operationFor ? operationFor(handler) : otp::WindowOperation();
    RunHandler(handler, [this, &operation] {
        if (operation) operation(session_->ctx());
    });
}

void TForm1::ComboBox4TextEdited(const QString& text) {
    // The list follows the typed text: the first item it begins, or none.
    QComboBox* box = ui_->ComboBox4;
    int match = -1;
    for (int i = 0; i < box->count() && !text.isEmpty(); ++i) {
        if (box->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            match = i;
            break;
        }
    }
    if (match != box->currentIndex()) {
        QLineEdit* edit = box->lineEdit();
        const int cursor = edit->cursorPosition();
        box->setCurrentIndex(match);  // replaces the text with the item's
        edit->setText(text);
        edit->setCursorPosition(cursor);
    }
    ComboBox4Change();
}

void TForm1::RunHandler(const char* name, const std::function<void()>& body) {
    if (running_) return;
    std::optional<std::string> failure;
    {
        running_ = true;
        otp::InputGuard::Hold hold(guard_);
        failure = RunGuarded([this, name, &body] {
            if (handlerObserver) handlerObserver(name);
            body();
        });
        pump_.Run();  // the last state shows, and input that came meanwhile goes
        running_ = false;
    }
    if (failure) ShowFailure(*failure);
}

std::optional<std::string> TForm1::RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        return std::string(e.what());
    } catch (...) {
        return std::string("An unknown error ended the operation.");
    }
    return std::nullopt;
}

void TForm1::ShowFailure(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, ToQ(otp::kApplicationTitle), ToQ(text), QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::PlainText);
    RunModal(box);
}

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

void TForm1::ShowNow(QWidget* changed) {
    if (!guard_.Active()) return;  // outside a handler the event loop paints
    if (changed != nullptr && std::find(changed_.begin(), changed_.end(), changed) == changed_.end())
        changed_.push_back(changed);
    pump_.RunIfDue();
}

void TForm1::PaintChanged() {
    if (heldPosition_) {
        // The bar would paint itself at once; it is painted with the rest.
        QProgressBar* bar = ui_->ProgressBar1;
        bar->setUpdatesEnabled(false);
        bar->setValue(*heldPosition_);
        bar->setUpdatesEnabled(true);
        heldPosition_.reset();
    }
    // One repaint paints all that is marked in the window, so each changed
    // widget is painted once.
    QWidget* last = nullptr;
    for (const QPointer<QWidget>& w : changed_) {
        if (w == nullptr || !w->isVisible()) continue;
        w->update();
        last = w;
    }
    changed_.clear();
    if (last != nullptr) last->repaint();
}

// ---------------------------------------------------------------------------
// View operations

void TForm1::ClearPane(otp::Control pane) {
    QPlainTextEdit* edit = Pane(pane);
    if (edit == nullptr) NoSuchControl("ClearPane", pane);
    edit->clear();
    PaneLineCount(pane) = 0;
    ShowNow(edit);
}

void TForm1::AppendLine(otp::Control pane, const std::string& text) {
    QPlainTextEdit* edit = Pane(pane);
    if (edit == nullptr) NoSuchControl("AppendLine", pane);
    int& lines = PaneLineCount(pane);
    if (lines > 0 && edit->document()->isEmpty()) {
        // The pane holds one empty line, which appending would fill instead
        // of keeping it.
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(ToQ(text));
    } else {
        edit->appendPlainText(ToQ(text));  // follows the end when it was shown
    }
    ++lines;
    ShowNow(edit);
}

void TForm1::SetFieldText(otp::Control field, const std::string& text) {
    QLineEdit* edit = Field(field);
    if (edit == nullptr) NoSuchControl("SetFieldText", field);
    edit->setText(ToQ(text));
    ShowNow(edit);
}

std::string TForm1::GetFieldText(otp::Control field) {
    if (QLineEdit* edit = Field(field)) return FromQ(edit->text());
    if (QComboBox* box = Selector(field)) return FromQ(box->currentText());
    NoSuchControl("GetFieldText", field);
}

void TForm1::SetCaption(const std::string& text) { setWindowTitle(ToQ(text)); }

int TForm1::GetSelection(otp::Control selector) {
    QComboBox* box = Selector(selector);
    if (box == nullptr) NoSuchControl("GetSelection", selector);
    return box->currentIndex();
}

void TForm1::SetSelection(otp::Control selector, int index) {
    QComboBox* box = Selector(selector);
    if (box == nullptr) NoSuchControl("SetSelection", selector);
    // setCurrentIndex emits no `activated` and no `textEdited`, so no change
    // handler runs.
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    ShowNow(box);
}

void TForm1::ClearChoices(otp::Control selector) {
    QComboBox* box = Selector(selector);
    if (box == nullptr) NoSuchControl("ClearChoices", selector);
    box->clear();
    if (box->isEditable()) box->clearEditText();
    ShowNow(box);
}

void TForm1::AddChoice(otp::Control selector, const std::string& text) {
    QComboBox* box = Selector(selector);
    if (box == nullptr) NoSuchControl("AddChoice", selector);
    // A list that gains its first item selects it on its own; adding an item
    // changes no selection here.
    const int selected = box->currentIndex();
    box->addItem(ToQ(text));
    if (box->currentIndex() != selected) box->setCurrentIndex(selected);
}

void TForm1::SetDropDownCount(otp::Control selector, int rows) {
    QComboBox* box = Selector(selector);
    if (box == nullptr) NoSuchControl("SetDropDownCount", selector);
    box->setMaxVisibleItems(std::max(rows, 0));
}

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
    QAction* action = MenuAction(menu);
    if (action == nullptr) NoSuchControl("SetMenuVisible", menu);
    action->setVisible(on);
}

void TForm1::SetMenuEnabled(otp::Control menu, bool on) {
    QAction* action = MenuAction(menu);
    if (action == nullptr) NoSuchControl("SetMenuEnabled", menu);
    action->setEnabled(on);
}

void TForm1::ShowProgress(bool on) {
    ui_->Panel1->setVisible(on);
    if (on) ui_->Panel1->raise();
    // Shown, the panel is painted; hidden, what lies beneath it, at once:
    // the end of a progress is the last state of the steps before it.
    ShowNow(on ? static_cast<QWidget*>(ui_->Panel1) : ui_->ClientArea);
    if (!on && guard_.Active()) pump_.Run();
}

void TForm1::SetProgressMax(int count) {
    // A bar whose maximum equals its minimum would turn into a busy
    // indicator; an empty bar of one step looks like the empty bar of none.
    // A step held back belongs to the progress before.
    heldPosition_.reset();
    ui_->ProgressBar1->setMaximum(std::max(count, 1));
    ShowNow(ui_->ProgressBar1);
}

void TForm1::SetProgressPosition(int position) {
    // The bar paints itself at every step it can show; while a handler runs
    // the step waits for the pump instead.
    if (guard_.Active())
        heldPosition_ = position;
    else
        ui_->ProgressBar1->setValue(position);
    ShowNow(ui_->ProgressBar1);
}

int TForm1::RunModal(QDialog& dialog) {
    otp::InputGuard::DialogPass pass(guard_, dialog);
    return dialog.exec();
}

void TForm1::ShowNotice(const std::string& text) {
    // No owner: the box stands centred on the screen.
    QMessageBox box(QMessageBox::NoIcon, ToQ(otp::kApplicationTitle), ToQ(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    RunModal(box);
}

bool TForm1::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, ToQ(otp::kConfirmTitle), ToQ(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return RunModal(box) == QMessageBox::Yes;
}

void TForm1::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    QWidget* owner = nullptr;
    if (withIcon) {
        owner = QApplication::activeWindow();
        if (owner == nullptr) owner = this;
    }
    QMessageBox box(withIcon ? QMessageBox::Critical : QMessageBox::NoIcon, ToQ(title), ToQ(text), QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    RunModal(box);
}

std::optional<std::string> TForm1::ChooseFile(bool save) {
    QFileDialog dialog(this);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Any name is taken: the operations report a file that is not there, and
    // saving over an existing file asks nothing.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = otp::QtNameFilters(otp::kRomFileFilter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    dialog.setDefaultSuffix(QString::fromLatin1(otp::kRomDefaultSuffix));
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    // A path keeps the file system's encoding, unlike the texts.
    return QFile::encodeName(chosen.first()).toStdString();
}

std::optional<std::string> TForm1::ChooseOpenFile() { return ChooseFile(false); }
std::optional<std::string> TForm1::ChooseSaveFile() { return ChooseFile(true); }

void TForm1::CloseWindow() {
    otp::InputGuard::ClosePass pass(guard_);
    close();
    QCoreApplication::quit();
}
