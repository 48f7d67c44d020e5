#pragma once
// The main window Form1: the layout of unit1.ui, the view operations the
// logic drives it with, and one handler per event. Every handler goes
// through RunHandler, which keeps the operator's input away while the
// handler runs and shows what escapes it in a message box.
//
// Its code, by what it does: Unit1.cpp builds the window from unit1.ui and
// connects its events; Unit1Handlers.cpp holds the handlers and how one runs;
// Unit1Controls.cpp the view operations on panes, fields, selectors and
// menus; Unit1Painting.cpp painting while a handler runs and the progress
// panel; Unit1Dialogs.cpp the message boxes, the file dialogs and a file
// dropped on the window; Unit1Production.cpp the status bar; Unit1About.cpp
// the "?" menu, the About box and the window icon.
#include <QMainWindow>

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EventPump.h"
#include "app/HandlerList.h"
#include "app/Handlers.h"
#include "app/InputGuard.h"
#include "app/PickOnlySelectors.h"
#include "app/WindowPacer.h"
#include "operations/Session.h"
#include "production/ChipRecorder.h"
#include "production/OperationWatch.h"
#include "view/MainView.h"

class QComboBox;
class QDialog;
class QLineEdit;
class QMessageBox;
class QMenu;
class QPlainTextEdit;
class QSettings;
class ProductionBar;

namespace Ui {
class TForm1;
}

// The key that starts Auto on a production line (a foot switch sends it).
inline constexpr Qt::Key kProductionKey = Qt::Key_F5;

class TForm1 : public QMainWindow, public otp::MainView {
    Q_OBJECT
public:
    // Builds the window and runs the start-up (Writer.ini in workingDir, the
    // connection check through `opener`) before it is first shown. Pauses go
    // through `pacer` when given, else through the window's own pacer.
    // `port`, when given (--writers with one port), replaces Writer.ini's.
    TForm1(otp::PortOpener& opener, std::string workingDir, QWidget* parent = nullptr,
           otp::Pacer* pacer = nullptr, std::string port = {});
    ~TForm1() override;

    otp::Session& session() { return *session_; }
    otp::ChipRecorder& recorder() { return recorder_; }

    // The production log: `fromCommandLine` when given, else the one
    // Writer.ini names; relative names start in the working directory. A log
    // that cannot be opened is said in a box, and the operations on the chip
    // are refused until it can be.
    void UseProductionLog(const std::string& fromCommandLine);
    // Every record goes to the line's record server too: `fromCommandLine`
    // (--record), else Writer.ini's PRODUCTION_RECORD. One that cannot be
    // reached is named in a box, and no chip starts until it can be.
    void UseRecordServer(const std::string& fromCommandLine);
    // Demo mode: the status bar says that the writer is emulated, and the
    // Demo menu's "Next chip" runs `nextChip` (a fresh blank chip in the
    // emulated socket).
    void EnableDemo(std::function<void()> nextChip);
    // Load ROM File with `file` taken for the one its dialog would give (a
    // dropped file, or the one named on the command line); nothing while
    // another handler runs.
    void LoadGivenRomFile(const QString& file);
    // The folder the file dialogs start in is kept in `settings` from now on
    // and read from it now, so that it outlives the run; without this call
    // it is kept for the run only.
    void RememberFoldersIn(QSettings& settings);
    // Whether the waits end once the writer's answer is whole (the Options
    // menu's "Fast waits") is kept in `settings` from now on and read from
    // it now; off until then.
    void RememberWaitsIn(QSettings& settings);
    void SetFastWaits(bool on);
    otp::Pacer& pacer() { return *pacer_; }
    // True while a handler (or the start-up) runs.
    bool Busy() const { return running_; }
    // Closes the window now, or when the handler under way has ended (and
    // the chip it worked on is recorded).
    void CloseWhenIdle();

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
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void CloseWindow() override;

public slots:
    // One handler per event, as HandlerList.h lists them; each runs its
    // operation through RunHandler.
#define OTP_DECLARE_HANDLER(handler, control, signal, operation, chip) void handler();
    OTP_WINDOW_HANDLERS(OTP_DECLARE_HANDLER)
#undef OTP_DECLARE_HANDLER

protected:
    void showEvent(QShowEvent* event) override;
    // The client area's resizes lay the panes out anew.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A .rom file dropped on the window is loaded as if chosen in Load ROM
    // File; any other drop is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Building (Unit1.cpp)
    void ApplyFonts();
    void FitToControls();
    // The panes take the room the window has beyond its design size.
    void LayOutPanes();
    void ConnectHandlers();
    // The "?" menu with About, last in the menu bar, and the window icon
    // (Unit1About.cpp).
    void BuildHelpMenu();
    void ShowAbout();

    // Running handlers (Unit1Handlers.cpp)
    void RunOperation(const char* handler);
    // How an operation off the chip ended, in the status bar.
    void ShowOffChip(otp::Outcome outcome);
    void ComboBox4TextEdited(const QString& text);
    // Leaving the lock selector's text: a text that names no option shows
    // the option selected again.
    void ComboBox4EditingFinished();
    // Runs `body` with the operator's input held off, shows the last state
    // when it ends and what escaped it in a box: a handler, or the start-up.
    void RunBusy(const std::function<void()>& body);

    // Control lookup (Unit1Controls.cpp); nullptr for a control of another kind.
    QPlainTextEdit* Pane(otp::Control pane) const;
    QLineEdit* Field(otp::Control field) const;
    QComboBox* Selector(otp::Control selector) const;
    QWidget* ControlWidget(otp::Control control) const;
    QAction* MenuAction(otp::Control menu) const;
    int& PaneLineCount(otp::Control pane);

    // Painting (Unit1Painting.cpp)
    // While a handler runs: `changed` is painted with the next run of the
    // event pump, which is at once when one is due.
    void ShowNow(QWidget* changed);
    // Paints what the handler changed since the last run of the pump.
    void PaintChanged();

    // Dialogs (Unit1Dialogs.cpp)
    void ShowFailure(const std::string& text);
    // A message box: its text shown as it is, answered while a handler runs.
    int RunBox(QMessageBox& box);
    int RunModal(QDialog& dialog);
    std::optional<std::string> ChooseFile(bool save);
    // The name the Save dialog suggests: the loaded .rom file's, else the
    // selected body's with ".rom"; "" when there is neither.
    QString SuggestedSaveName() const;
    // The folder of a file the operator chose becomes the dialogs' folder.
    void NoteFolderOf(const QString& file);

    // The status bar below the panes (Unit1Production.cpp).
    void BuildProductionBar();
    // The Options menu, before the "?" menu: "Fast waits".
    void BuildOptionsMenu();
    // Job > Save as job...: the writer's image and the selectors as a production job.
    void BuildJobMenu();
    void SaveAsJob();
    void RunChipOperation(const char* chip, const otp::WindowOperation& operation);
    // F5, the production key: Auto, as a click on it.
    void BuildProductionKey();

    std::unique_ptr<Ui::TForm1> ui_;
    otp::InputGuard guard_;
    otp::PickOnlySelectors pickOnly_;
    otp::EventPump pump_;
    otp::WindowPacer ownPacer_;
    otp::Pacer* pacer_;
    // The session sees the window through the watch, which the production
    // recorder asks what an operation showed.
    otp::OperationWatch watch_{*this};
    otp::ChipRecorder recorder_{watch_};
    // What the record server said during the last chip, shown after it.
    std::vector<std::string> recordNews_;
    // The record server named (--record, PRODUCTION_RECORD); empty: none.
    std::string recordUrl_;
    ProductionBar* bar_ = nullptr;
    std::unique_ptr<otp::Session> session_;
    bool running_ = false;
    // A close asked for while a handler ran, owed when it ends.
    bool closeOwed_ = false;
    bool centred_ = false;
    // The client area, the panes and the progress panel as unit1.ui lays
    // them out: the window's smallest size and where the panes grow from.
    QSize designClient_;
    QRect designUpper_, designLower_, designPanel_;
    QMenu* helpMenu_ = nullptr;
    // Where the file dialogs open: the folder of the last file chosen (or
    // dropped); the working directory at first.
    QString dialogFolder_;
    QSettings* settings_ = nullptr;
    QAction* fastWaits_ = nullptr;
    QSettings* waitSettings_ = nullptr;
    // A file dropped on the window, which the Load that it starts takes as
    // the one chosen.
    std::optional<std::string> droppedFile_;
    // Lines in the upper and lower pane; a pane may hold empty lines only.
    int upperLines_ = 1;
    int lowerLines_ = 1;
    // Widgets changed by the handler and not painted since.
    std::vector<QPointer<QWidget>> changed_;
    // A progress step not yet given to the bar, which would paint it at once.
    std::optional<int> heldPosition_;
};
