#pragma once
// The main window Form1: the layout of unit1.ui, the view operations the
// logic drives it with, and one handler per event. Every handler goes
// through RunHandler, which keeps the operator's input away while the
// handler runs and shows what escapes it in a message box.
#include <QMainWindow>

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EventPump.h"
#include "app/Handlers.h"
#include "app/InputGuard.h"
#include "app/WindowPacer.h"
#include "operations/Session.h"
#include "view/MainView.h"

class QComboBox;
class QDialog;
class QLineEdit;
class QPlainTextEdit;

namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow, public otp::MainView {
    Q_OBJECT
public:
    // Builds the window and runs the start-up (Writer.ini in workingDir, the
    // connection check through `opener`) before it is first shown. Pauses go
    // through `pacer` when given, else through the window's own pacer.
    TForm1(otp::PortOpener& opener, std::string workingDir, QWidget* parent = nullptr,
           otp::Pacer* pacer = nullptr);
    ~TForm1() override;

    otp::Session& session() { return *session_; }
    otp::Pacer& pacer() { return *pacer_; }
    // True while a handler (or the start-up) runs.
    bool Busy() const { return running_; }

    // Runs one handler to its end. The window takes no operator input
    // meanwhile, yet keeps painting: what the handler changes is shown at
    // most EventPump::kInterval later, and all of it when the handler ends;
    // a request made while another handler runs is dropped. An exception that
    // escapes `body` ends it and is shown in a message box.
    void RunHandler(const char* name, const std::function<void()>& body);

    // Told the name of every handler as it starts.
    std::function<void(const std::string&)> handlerObserver;
    // Where a handler finds its operation; the window's own table unless
    // replaced (the wiring tests run handlers without their operations).
    std::function<otp::WindowOperation(const std::string&)> operationFor = otp::OperationForHandler;

    // MainView
    void ClearPane(otp::Control pane) override;
    void AppendLine(otp::Control pane, const std::string& text) override;
    void SetFieldText(otp::Control field, const std::string& text) override;
    std::string GetFieldText(otp::Control field) override;
    void SetCaption(const std::string& text) override;
    int GetSelection(otp::Control selector) override;
    void SetSelection(otp::Control selector, int index) override;
    void ClearChoices(otp::Control selector) override;
    void AddChoice(otp::Control selector, const std::string& text) override;
    void SetDropDownCount(otp::Control selector, int rows) override;
    void SetEnabled(otp::Control control, bool on) override;
    void SetMenuVisible(otp::Control menu, bool on) override;
    void SetMenuEnabled(otp::Control menu, bool on) override;
    void ShowProgress(bool on) override;
    void SetProgressMax(int count) override;
    void SetProgressPosition(int position) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void CloseWindow() override;

public slots:
    void LoadROMFile1Click();
    void SaveROMFile1Click();
    void UploadtoWriter1Click();
    void Version1Click();
    void UpdateWriter1Click();
    void Read1Click();
    void Write1Click();
    void Quit1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void ComboBox1Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyFonts();
    void FitToControls();
    void ConnectHandlers();
    void RunOperation(const char* handler);
    void ComboBox4TextEdited(const QString& text);
    std::optional<std::string> RunGuarded(const std::function<void()>& body);
    void ShowFailure(const std::string& text);
    int RunModal(QDialog& dialog);
    std::optional<std::string> ChooseFile(bool save);
    // While a handler runs: `changed` is painted with the next run of the
    // event pump, which is at once when one is due.
    void ShowNow(QWidget* changed);
    // Paints what the handler changed since the last run of the pump.
    void PaintChanged();

    QPlainTextEdit* Pane(otp::Control pane) const;
    QLineEdit* Field(otp::Control field) const;
    QComboBox* Selector(otp::Control selector) const;
    QWidget* ControlWidget(otp::Control control) const;
    QAction* MenuAction(otp::Control menu) const;
    int& PaneLineCount(otp::Control pane);

    std::unique_ptr<Ui::TForm1> ui_;
    otp::InputGuard guard_;
    otp::EventPump pump_;
    otp::WindowPacer ownPacer_;
    otp::Pacer* pacer_;
    std::unique_ptr<otp::Session> session_;
    bool running_ = false;
    bool centred_ = false;
    // Lines in the upper and lower pane; a pane may hold empty lines only.
    int upperLines_ = 1;
    int lowerLines_ = 1;
    // Widgets changed by the handler and not painted since.
    std::vector<QPointer<QWidget>> changed_;
    // A progress step not yet given to the bar, which would paint it at once.
    std::optional<int> heldPosition_;
};
