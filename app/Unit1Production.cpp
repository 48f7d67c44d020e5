// The production side of the main window: the status bar with the last
// verdict and the counts, the production log, and demo mode's Next chip.
#include "app/Unit1.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include "ui_unit1.h"

#include "app/Latin1Text.h"
#include "app/MenuBarFit.h"
#include "app/ProductionBar.h"
#include "app/ProductionReport.h"
#include "config/PathLookup.h"
#include "production/AsideWork.h"
#include "record/LineRecord.h"

namespace {
const QString kFastWaitsKey = QStringLiteral("waits/fast");
}  // namespace

void TForm1::BuildProductionBar() {
    bar_ = new ProductionBar(this);
    statusBar()->addWidget(bar_, 1);
    statusBar()->setSizeGripEnabled(false);
    connect(bar_, &ProductionBar::resetRequested, this, [this] {
        recorder_.tally().Reset();
        bar_->ShowCounts(recorder_.tally());
    });
}

void TForm1::BuildProductionKey() {
    // A foot switch is a USB keyboard that sends a key: F5 starts Auto as a
    // click on it does, only while it can be clicked.
    auto* key = new QAction(this);
    key->setObjectName(QStringLiteral("ProductionKey"));
    key->setShortcut(QKeySequence(kProductionKey));
    key->setShortcutContext(Qt::WindowShortcut);
    // A key held down starts one chip, not one for each repeat of it.
    key->setAutoRepeat(false);
    addAction(key);
    connect(key, &QAction::triggered, this, [this] {
        if (ui_->Button1->isEnabled()) Button1Click();
    });
    ui_->Button1->setToolTip(QStringLiteral("Blank check, then program and verify the chip (F5)"));
}

void TForm1::RunChipOperation(const char* chip, const otp::WindowOperation& operation) {
    const otp::ChipResult result = recorder_.Run(session_->ctx(), chip, operation);
    bar_->ShowResult(result, recorder_.tally());
    ShowNow(bar_);
    if (!recordNews_.empty()) {
        std::string news;
        for (const std::string& line : recordNews_) news += (news.empty() ? "" : "\n") + line;
        recordNews_.clear();
        ShowErrorBox("Record server", news, true);
    }
    if (!result.logError.empty()) {
        ShowErrorBox("Production log", result.logError + "\nNo operation on a chip runs until the log can be written.",
                     true);
    }
}

void TForm1::UseProductionLog(const std::string& fromCommandLine) {
    const std::string name = !fromCommandLine.empty() ? fromCommandLine : session_->state().ProductionLogPath;
    if (name.empty()) return;
    const std::string path = otp::IsAbsolutePath(name) ? name : session_->ctx().workingDir + "/" + name;
    std::string error;
    const bool open = recorder_.UseLog(path, error);
    bar_->ShowLog(otp::ToQ(path));
    if (!open)
        ShowErrorBox("Production log", error + "\nNo operation on a chip runs until the log can be written.", true);
    else if (const std::string notice = recorder_.ledger().LogNotice(); !notice.empty())
        ShowErrorBox("Production log", notice, false);
}

void TForm1::UseRecordServer(const std::string& fromCommandLine) {
    const std::string url = !fromCommandLine.empty() ? fromCommandLine : session_->state().ProductionRecordUrl;
    if (url.empty()) return;
    recordUrl_ = url;
    // What the record has to say (the server went away, came back, a kept
    // record found a code given twice) is shown after the chip.
    recorder_.OnRecordWait([this](const std::string& news) { recordNews_.push_back(news); }, nullptr);
    // The window's thread never waits on the network: the record is written,
    // and its server reached, on a thread of their own while the window paints.
    recorder_.RecordAside(true);
    std::string error;
    bool open = false;
    otp::RunAside(session_->ctx().pacer,
                  [&] { open = otp::UseRecordServer(recorder_.ledger(), url, session_->ctx().workingDir, error); });
    std::string said;
    for (const std::string& notice : recorder_.ledger().TakeNotices()) said += notice + "\n";
    if (!open) said += error + "\nNo operation on a chip runs until every record can reach the server or its spool.";
    if (!said.empty()) ShowErrorBox("Record server", said, !open);
}

void TForm1::BuildOptionsMenu() {
    auto* options = new QMenu(QStringLiteral("Options"), menuBar());
    options->setObjectName(QStringLiteral("OptionsMenu"));
    menuBar()->insertMenu(helpMenu_->menuAction(), options);
    fastWaits_ = options->addAction(QStringLiteral("Fast waits"));
    fastWaits_->setObjectName(QStringLiteral("FastWaits1"));
    fastWaits_->setCheckable(true);
    fastWaits_->setToolTip(QStringLiteral("End each wait for the writer once its whole answer is in; the waits of "
                                          "Writer.ini stay the time-outs"));
    connect(fastWaits_, &QAction::toggled, this, [this](bool on) { SetFastWaits(on); });
    QAction* report = options->addAction(QStringLiteral("Production report"));
    report->setObjectName(QStringLiteral("ProductionReport1"));
    report->setToolTip(QStringLiteral("The figures of the production log and the record server as a page in the browser"));
    connect(report, &QAction::triggered, this, [this] {
        otp::OpenProductionReport(this, recorder_.LogPath(), recordUrl_, session_->ctx().workingDir);
    });
}

void TForm1::SetFastWaits(bool on) {
    session_->ctx().link.fastWaits = on;
    bar_->ShowWaits(on);
    if (fastWaits_->isChecked() != on) fastWaits_->setChecked(on);
    if (waitSettings_ != nullptr) waitSettings_->setValue(kFastWaitsKey, on);
}

void TForm1::RememberWaitsIn(QSettings& settings) {
    SetFastWaits(settings.value(kFastWaitsKey, false).toBool());
    waitSettings_ = &settings;
}

void TForm1::EnableDemo(std::function<void()> nextChip) {
    bar_->ShowDemo(QStringLiteral("Demo: the writer is emulated inside this program; no real chip is programmed."));
    // Before the "?" menu, which stays last.
    auto* demo = new QMenu(QStringLiteral("Demo"), menuBar());
    demo->setObjectName(QStringLiteral("DemoMenu"));
    menuBar()->insertMenu(helpMenu_->menuAction(), demo);
    // One menu more must still leave every entry in sight.
    otp::FitMenuBarEntries(*menuBar(), designClient_.width());
    QAction* next = demo->addAction(QStringLiteral("Next chip"));
    next->setObjectName(QStringLiteral("NextChip1"));
    connect(next, &QAction::triggered, this, [this, nextChip] {
        RunHandler("NextChip", [this, &nextChip] {
            nextChip();
            bar_->ShowDemo(QStringLiteral("Demo: a fresh blank chip is in the emulated socket."));
        });
    });
}
