#include "app/StationWindow.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFontDatabase>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <cmath>

#include "app/FileDialogFilter.h"
#include "app/Latin1Text.h"
#include "app/ProductionBar.h"
#include "app/ProgramInfo.h"
#include "app/StationTile.h"
#include "app/TileFeed.h"
#include "app/ProductionReport.h"
#include "app/Unit1.h"
#include "config/PathLookup.h"
#include "record/LineRecord.h"
#include "operations/ProductionOps.h"
#include "operations/Startup.h"
#include "job/JobOpening.h"
#include "romfile/LoadRomFile.h"
#include "station/ProductionRound.h"

namespace {

// What Writer.ini says, from the text read once: its production log and record server.
std::unique_ptr<otp::WriterState> IniState(const otp::IniFile& ini, const std::string& workingDir) {
    auto state = std::make_unique<otp::WriterState>();
    if (!ini.lines) return state;
    otp::FormModel scratch;
    otp::ReadWriterIni(*state, scratch, workingDir, ini);
    return state;
}

QString BodyOf(otp::StationWriter& w) { return otp::ToQ(w.form().SelectedText(otp::Control::ComboBox1)); }

QString ChecksumOf(otp::StationWriter& w) {
    const auto& image = w.ctx().link.verifiedImage;
    return image ? otp::ToQ(image->checksum) : QStringLiteral("not verified");
}

}  // namespace

StationWindow::StationWindow(const std::vector<std::string>& ports, const LineMaker& makeLine, std::string workingDir,
                             const std::string& log, bool demo, const std::string& lot,
                             const std::string& operatorName, QWidget* parent)
    : QMainWindow(parent), workingDir_(std::move(workingDir)), demo_(demo) {
    setObjectName(QStringLiteral("StationWindow"));
    setWindowTitle(QStringLiteral("%1 - station of %2 writers").arg(otp::ToQ(otp::kApplicationTitle)).arg(ports.size()));
    setWindowIcon(otp::ProgramIcon());
    dialogFolder_ = QFile::decodeName(QByteArray::fromStdString(workingDir_));
    ini_ = otp::LoadWriterIni(workingDir_);
    station_ = std::make_unique<otp::Station>();
    station_->ledger().SetBatch(lot, operatorName);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    auto* bar = new QHBoxLayout;
    auto* load = new QPushButton(QStringLiteral("Load ROM File"), central);
    load->setObjectName(QStringLiteral("StationLoad"));
    load_ = load;
    auto* start = new QPushButton(QStringLiteral("Start all (F5)"), central);
    start->setObjectName(QStringLiteral("StartAll"));
    start->setToolTip(QStringLiteral("Auto in every socket at once; a click on a tile, or its key 1-8, starts one"));
    auto* report = new QPushButton(QStringLiteral("Report"), central);
    report->setObjectName(QStringLiteral("StationReport"));
    report->setToolTip(QStringLiteral("The figures of the production log and the record server as a page in the browser"));
    for (QPushButton* b : {load, start, report}) b->setFocusPolicy(Qt::NoFocus);
    totals_ = new QLabel(central);
    totals_->setObjectName(QStringLiteral("StationTotals"));
    onlyHere_ = NewOnlyHereNotice(this);
    statusBar()->addPermanentWidget(onlyHere_, 1);
    bar->addWidget(load);
    bar->addWidget(start);
    bar->addWidget(report);
    bar->addStretch(1);
    bar->addWidget(totals_);
    column->addLayout(bar);
    auto* grid = new QGridLayout;
    const int across = ports.size() <= 4 ? 2 : 4;
    column->addLayout(grid, 1);
    setCentralWidget(central);
    connect(load, &QPushButton::clicked, this, [this] { ChooseAndLoad(); });
    connect(start, &QPushButton::clicked, this, [this] { StartAll(); });
    connect(report, &QPushButton::clicked, this,
            [this] { otp::OpenProductionReport(this, station_->ledger().LogPath(), recordUrl_, workingDir_); });

    for (size_t i = 0; i < ports.size(); ++i) {
        const int key = i < 8 ? static_cast<int>(i) + 1 : 0;
        auto* tile = new StationTile(otp::ToQ(ports[i]), key, central);
        grid->addWidget(tile, static_cast<int>(i) / across, static_cast<int>(i) % across);
        tiles_.push_back(tile);
        auto feed = std::make_unique<otp::TileFeed>();
        feed->askLoadDamaged = [this](const std::string& text) { return AskLoadDamagedOnce(text); };
        connect(feed.get(), &otp::TileFeed::paneCleared, tile, &StationTile::ClearPane);
        connect(feed.get(), &otp::TileFeed::lineAdded, tile, &StationTile::AddLine);
        connect(feed.get(), &otp::TileFeed::progressChanged, tile, &StationTile::ShowProgress);
        connect(feed.get(), &otp::TileFeed::said, tile, &StationTile::ShowSaid);
        connect(feed.get(), &otp::TileFeed::fieldChanged, tile, [tile](int control, const QString& text) {
            if (control == static_cast<int>(otp::Control::Edit1)) tile->ShowChecksum(text);
        });
        connect(tile, &StationTile::startRequested, this, [this, i] { StartOne(i); });
        connect(tile, &StationTile::panesRequested, this, [this, i] { ShowPanes(i); });
        connect(tile, &StationTile::asideRequested, this, [this, i] { ToggleAside(i); });
        feeds_.push_back(feed.get());
        otp::WriterLine line = makeLine(ports[i], i);
        otp::WriterParts parts;
        parts.port = ports[i];
        parts.opener = std::move(line.opener);
        parts.pacer = std::move(line.pacer);
        parts.freshChip = std::move(line.freshChip);
        parts.form = std::move(feed);
        station_->Add(std::move(parts), workingDir_);
        busy_.push_back(0);
        stoppedShown_.push_back(false);
        loading_.push_back(false);
        startOwed_.push_back(false);
        startAfterLoad_.push_back(false);
    }

    const std::string logName = !log.empty() ? log : IniState(ini_, workingDir_)->ProductionLogPath;
    if (!logName.empty()) {
        const std::string path = otp::IsAbsolutePath(logName) ? logName : workingDir_ + "/" + logName;
        std::string error;
        if (!station_->ledger().UseLog(path, error))
            QMessageBox::critical(this, QStringLiteral("Production log"),
                                  otp::ToQ(error) + QStringLiteral("\nNo operation on a chip runs until the log can be written."));
        else if (const std::string notice = station_->ledger().LogNotice(); !notice.empty())
            QMessageBox::information(this, QStringLiteral("Production log"), otp::ToQ(notice));
    }
    UpdateTotals();
    resize(across * 330, ((static_cast<int>(ports.size()) + across - 1) / across) * 300 + 60);

    // Every writer's start-up at once, Writer.ini read once above.
    for (size_t i = 0; i < tiles_.size(); ++i) {
        StationTile* tile = tiles_[i];
        Run(i, QStringLiteral("start-up"), [this, i, tile](otp::StationWriter& w) -> std::function<void()> {
            w.startup = otp::RunStartup(w.ctx(), otp::StartupPlan{&ini_, w.Port()});
            const std::string why = otp::StartupStopReason(w.startup, w.ctx());
            if (!why.empty()) w.Stop(why);
            const QString version = otp::ToQ(w.ctx().state.WriterVersion);
            const QString body = BodyOf(w);
            const QString checksum = ChecksumOf(w);
            const QString failure = otp::ToQ(w.watch().FailureWith(w.ctx().findings));
            return [this, i, tile, why, version, body, checksum, failure] {
                if (!why.empty()) {
                    tile->ShowStopped(otp::ToQ(why) + QStringLiteral(": ") + failure);
                    return;
                }
                tile->ShowReady(version, body);
                tile->ShowChecksum(checksum);
                // A load queued behind the start-up (a job's, the command line's) runs now: not ready yet.
                if (loading_[i]) tile->ShowBusy(QStringLiteral("loading"));
            };
        });
    }
}

void StationWindow::UseRecordServer(const std::string& url) {
    const std::string name = !url.empty() ? url : IniState(ini_, workingDir_)->ProductionRecordUrl;
    if (name.empty()) return;
    recordUrl_ = name;
    // What the record has to say (the server went away, came back, a kept
    // record found a code given twice), from any writer's thread, in the
    // status bar.
    for (const auto& w : station_->Writers())
        w->recorder().OnRecordWait(
            [this](const std::string& news) {
                QMetaObject::invokeMethod(
                    this, [this, text = otp::ToQ(news)] { statusBar()->showMessage(text); }, Qt::QueuedConnection);
            },
            nullptr);
    statusBar()->showMessage(QStringLiteral("Reaching the record server ..."));
    const std::lock_guard<std::mutex> lock(recordMutex_);
    recordOpening_ = std::async(std::launch::async, [this, name] {
                         std::string error;
                         const bool open = otp::UseRecordServer(station_->ledger(), name, workingDir_, error);
                         std::string said;
                         for (const std::string& notice : station_->ledger().TakeNotices()) said += notice + "\n";
                         if (!open)
                             said += error + "\nNo operation on a chip runs until every record can reach the server or its spool.";
                         QMetaObject::invokeMethod(
                             this,
                             [this, text = otp::ToQ(said)] {
                                 statusBar()->clearMessage();
                                 if (!text.isEmpty()) QMessageBox::critical(this, QStringLiteral("Record server"), text);
                             },
                             Qt::QueuedConnection);
                     }).share();
}

void StationWindow::AwaitRecordServer() {
    std::shared_future<void> opening;
    {
        const std::lock_guard<std::mutex> lock(recordMutex_);
        opening = recordOpening_;
    }
    if (opening.valid()) opening.wait();
}

StationWindow::~StationWindow() {
    closing_ = true;
    AwaitRecordServer();
    // The writers finish what they do before the tiles they report to go.
    station_.reset();
}

void StationWindow::Run(size_t index, const QString& busyWord,
                        const std::function<std::function<void()>(otp::StationWriter&)>& job, bool queue) {
    otp::StationWriter& w = *station_->Writers()[index];
    // A key held down or pressed again queues no chip; a load waits its turn.
    if ((busy_[index] > 0 && !queue) || w.Stopped()) return;
    // Queued behind other work, the tile says what runs now; the work ahead
    // says this one's word when it ends (a load after the start-up).
    if (busy_[index] == 0) tiles_[index]->ShowBusy(busyWord);
    ++busy_[index];
    tiles_[index]->AllowAside(false);
    w.Post([this, index, &w, job] {
        std::function<void()> done = job(w);
        QMetaObject::invokeMethod(
            this,
            [this, index, done] {
                if (done) done();
                Ended(index);
            },
            Qt::QueuedConnection);
    });
}

void StationWindow::Ended(size_t index) {
    --busy_[index];
    // A start pressed during the load that just passed: no moment idle between them.
    if (startAfterLoad_[index]) {
        startAfterLoad_[index] = false;
        StartOne(index);
    }
    otp::StationWriter& w = *station_->Writers()[index];
    // A stopped writer's tile says why, once; a chip's FAIL stays in sight.
    if (w.Stopped() && !stoppedShown_[index]) {
        stoppedShown_[index] = true;
        StationTile* tile = tiles_[index];
        if (tile->VerdictText() == QStringLiteral("FAIL"))
            tile->ShowSaid(tile->Finding() + QStringLiteral("\nStopped: ") + otp::ToQ(w.StopReason()));
        else if (tile->VerdictText() != QStringLiteral("no writer"))
            tile->ShowStopped(otp::ToQ(w.StopReason()));
        else
            stoppedShown_[index] = true;
    }
    tiles_[index]->AllowAside(busy_[index] == 0 && !w.Stopped());
    UpdateTotals();
    if (closeOwed_ && !Busy()) {
        closeOwed_ = false;
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    }
}

bool StationWindow::Busy() const {
    for (int jobs : busy_)
        if (jobs > 0) return true;
    return false;
}

void StationWindow::CloseWhenIdle() {
    if (Busy()) {
        closeOwed_ = true;
        return;
    }
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    // A chip under way is finished and recorded first.
    if (Busy()) {
        closeOwed_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void StationWindow::LoadFile(const QString& file) {
    {
        const std::lock_guard<std::mutex> lock(askMutex_);
        loadAnswer_.reset();
    }
    const std::string path = otp::FromQ(file);
    for (size_t i = 0; i < tiles_.size(); ++i) {
        StationTile* tile = tiles_[i];
        if (station_->Writers()[i]->Stopped()) continue;
        loading_[i] = true;
        Run(i, QStringLiteral("loading"), [this, i, path, tile](otp::StationWriter& w) -> std::function<void()> {
            w.form().openFiles.assign(1, path);
            w.watch().Begin();
            w.ctx().findings.Clear();
            const int64_t received = w.ctx().link.receivedBytes;
            const otp::Outcome outcome = otp::LoadROMFile1Click(w.ctx());
            w.form().openFiles.clear();
            // A writer that gave no sign of life is not asked again.
            if (otp::VerdictOf(outcome, w.ctx().state.PortFailed, w.ctx().link.receivedBytes != received) ==
                otp::Verdict::NoWriter)
                w.Stop("the writer does not answer");
            const bool passed = outcome == otp::Outcome::Done;
            const QString failure = passed ? otp::ToQ(w.ctx().findings.Text()) : otp::ToQ(w.watch().FailureWith(w.ctx().findings));
            const QString body = BodyOf(w);
            const QString checksum = ChecksumOf(w);
            return [this, i, tile, passed, failure, body, checksum] {
                tile->ShowStepEnd(passed, failure);
                tile->ShowBody(body);
                tile->ShowChecksum(checksum);
                LoadEnded(i, passed);
            };
        }, true);
    }
}

void StationWindow::LoadEnded(size_t index, bool passed) {
    loading_[index] = false;
    if (!startOwed_[index]) return;
    startOwed_[index] = false;
    // Ended() runs next, and starts it once the writer is free.
    if (passed && !station_->Writers()[index]->Stopped()) startAfterLoad_[index] = true;
    else
        tiles_[index]->ShowSaid(tiles_[index]->Finding() +
                                QStringLiteral("\nThe start pressed during the load was dropped: the load did not pass."));
}

bool StationWindow::UseJob(const std::string& path, std::string& error) {
    otp::JobFile job;
    if (!otp::ReadJobFile(path, job, error)) return false;
    const std::string lot = station_->ledger().Lot();
    if (!lot.empty() && !job.job.lot.empty() && lot != job.job.lot) {
        error = "the lot " + lot + " is not the lot of the job " + job.job.name + " (" + job.job.lot + ")";
        return false;
    }
    station_->ledger().SetBatch(lot.empty() ? job.job.lot : lot, station_->ledger().Operator());
    station_->ledger().SetJob(job.job.name, job.id);
    job_ = job;
    const QString name = otp::ToQ(job.job.name);
    setWindowTitle(QStringLiteral("%1 - job %2 - station of %3 writers")
                       .arg(otp::ToQ(otp::kApplicationTitle), otp::ToQ(otp::JobTitle(job)))
                       .arg(tiles_.size()));
    load_->setEnabled(false);
    load_->setToolTip(QStringLiteral("The job %1 fixes the image and the settings").arg(name));
    for (size_t i = 0; i < tiles_.size(); ++i) {
        StationTile* tile = tiles_[i];
        tile->ShowJob(name);
        loading_[i] = true;
        // After the writer's start-up, which was posted first.
        Run(i, QStringLiteral("loading"), [this, i, tile](otp::StationWriter& w) -> std::function<void()> {
            if (w.Stopped()) return [this, i] { LoadEnded(i, false); };
            w.watch().Begin();
            w.ctx().findings.Clear();
            std::string difference;
            const bool held = otp::OpenJobOnWriter(w.ctx(), w.form(), *job_, difference);
            const std::string refusal = "the job " + job_->job.name + " cannot run on " + w.Port() + ": " + difference;
            if (!held) w.Stop(refusal);
            const QString body = BodyOf(w);
            const QString checksum = ChecksumOf(w);
            return [this, i, tile, held, refusal, body, checksum] {
                if (held) tile->ShowStepEnd(true, QString());
                else tile->ShowStopped(otp::ToQ(refusal), QStringLiteral("stopped"));
                stoppedShown_[i] = true;
                tile->ShowBody(body);
                tile->ShowChecksum(checksum);
                LoadEnded(i, held);
            };
        }, true);
    }
    return true;
}

otp::RoundRules StationWindow::Rules(std::string& error) {
    const std::lock_guard<std::mutex> lock(orderMutex_);
    if (job_ && !order_) {
        order_ = station_->ledger().OpenOrder(job_->job, error);
        if (order_) {
            rules_.order = order_.get();
            // A place under way on another writer may come free: its chip failed.
            rules_.awaitPlace = [this](const std::string& port, const std::string&, int) {
                for (const auto& w : station_->Writers())
                    if (w->Port() == port && !closing_) w->ctx().pacer.Sleep(500);
                return !closing_;
            };
        }
    }
    return rules_;
}

void StationWindow::ChooseAndLoad() {
    if (Busy()) return;
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Load ROM File"), dialogFolder_,
                                                      QStringLiteral("ROM files (*.rom);;All files (*)"));
    if (file.isEmpty()) return;
    dialogFolder_ = QFileInfo(file).absolutePath();
    LoadFile(file);
}

bool StationWindow::AskLoadDamagedOnce(const std::string& text) {
    // On a writer's thread; the first writer to ask waits for the operator,
    // the others for the same answer.
    const std::lock_guard<std::mutex> lock(askMutex_);
    if (loadAnswer_) return *loadAnswer_;
    bool yes = false;
    if (!closing_) {
        QMetaObject::invokeMethod(
            this,
            [this, &text, &yes] {
                QMessageBox box(QMessageBox::Warning, otp::ToQ(otp::kConfirmTitle), otp::ToQ(text),
                                QMessageBox::Yes | QMessageBox::No, this);
                box.setDefaultButton(QMessageBox::No);
                yes = box.exec() == QMessageBox::Yes;
            },
            Qt::BlockingQueuedConnection);
    }
    loadAnswer_ = yes;
    return yes;
}

void StationWindow::StartAll() {
    for (size_t i = 0; i < tiles_.size(); ++i) StartOne(i);
}

void StationWindow::StartOne(size_t index) {
    if (index >= tiles_.size()) return;
    StationTile* tile = tiles_[index];
    // F5 passes a socket set aside by.
    if (station_->Writers()[index]->Aside()) return;
    // Pressed while the socket loads: one start, once the load has passed.
    if (loading_[index]) {
        if (!startOwed_[index] && !station_->Writers()[index]->Stopped()) {
            startOwed_[index] = true;
            tile->ShowSaid(QStringLiteral("Starts once the load has passed"));
        }
        return;
    }
    Run(index, QStringLiteral("busy"), [this, tile](otp::StationWriter& w) -> std::function<void()> {
        AwaitRecordServer();
        std::string orderError;
        const otp::RoundRules rules = Rules(orderError);
        if (!orderError.empty())
            return [tile, orderError] { tile->ShowNotStarted(otp::ToQ(orderError), false); };
        // The operator can only start what the window would let him click.
        if (!w.form().Enabled(otp::Control::Button1))
            return [tile] { tile->ShowSaid(QStringLiteral("\"Auto\" is not available for this body")); };
        otp::ChipResult result;
        const otp::ChipEnd end = otp::RunProductionChip(
            w.Port(), station_->tally(), rules, [this, &w] {
                if (demo_) w.FreshChip();
            },
            [&w, &result] {
                result = w.recorder().Run(w.ctx(), "auto", otp::Button1Click);
                otp::ChipSteps done;
                done.failure = result.failure;
                done.refused = result.verdict == otp::Verdict::Refused;
                done.notes = result.note;
                done.logError = result.logError;
                done.chip = result.chip;
                done.noWriter = result.verdict == otp::Verdict::NoWriter;
                return done;
            });
        if (!end.ran) {
            const bool complete = rules.order && rules.order->Complete();
            return [tile, why = otp::ToQ(end.notStarted), complete] { tile->ShowNotStarted(why, complete); };
        }
        const otp::Tally tally = w.recorder().tally();
        if (!end.stop.empty()) w.Stop(end.stop);
        const QString logError = otp::ToQ(result.logError);
        const std::string order = rules.order ? "order " + rules.order->Progress() : std::string();
        return [this, tile, result, tally, logError, order] {
            tile->ShowResult(result, tally, order);
            ShowOnlyHere(onlyHere_, result.onlyHere);
            if (!logError.isEmpty())
                QMessageBox::critical(this, QStringLiteral("Production log"),
                                      logError + QStringLiteral("\nNo operation on a chip runs until the log can be written."));
        };
    });
}

void StationWindow::ToggleAside(size_t index) {
    otp::StationWriter& w = *station_->Writers()[index];
    if (busy_[index] > 0 || w.Stopped()) return;
    const bool aside = !w.Aside();
    w.SetAside(aside);
    tiles_[index]->ShowAside(aside);
    statusBar()->showMessage(otp::ToQ(w.Port()) + (aside ? QStringLiteral(" set aside: it starts no chip until it is taken back")
                                                         : QStringLiteral(" taken back: F5 starts it again")));
    UpdateTotals();
}

void StationWindow::keyPressEvent(QKeyEvent* event) {
    // A key held down starts nothing more: one press, one chip a socket.
    if (event->isAutoRepeat()) return;
    if (event->key() == kProductionKey) {
        StartAll();
        return;
    }
    if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_8) {
        StartOne(static_cast<size_t>(event->key() - Qt::Key_1));
        return;
    }
    QMainWindow::keyPressEvent(event);
}

QString StationWindow::Totals() const { return totals_->text(); }

void StationWindow::UpdateTotals() {
    const otp::Tally total = station_->tally().Total();
    const size_t running = station_->Producing().size();
    const std::string aside = station_->AsideList();
    std::string order;
    {
        const std::lock_guard<std::mutex> lock(orderMutex_);
        if (order_) order = order_->Complete() ? "; " + otp::OrderCompleteLine(*order_) : "; order " + order_->Progress();
    }
    totals_->setText(QString::fromStdString("Station: " + std::to_string(total.Chips()) + " chips, " + total.Summary() +
                                            "; " + std::to_string(running) + " of " + std::to_string(tiles_.size()) +
                                            " writers running" + (aside.empty() ? "" : "; set aside: " + aside) +
                                            order));
}

void StationWindow::ShowPanes(size_t index) {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("StationPanes"));
    dialog.setWindowTitle(QStringLiteral("Panes of ") + otp::ToQ(station_->Writers()[index]->Port()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* split = new QSplitter(Qt::Vertical, &dialog);
    for (int pane = 0; pane < 2; ++pane) {
        auto* text = new QPlainTextEdit(split);
        text->setObjectName(pane == 0 ? QStringLiteral("RichEdit1") : QStringLiteral("RichEdit2"));
        text->setReadOnly(true);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        text->setPlainText(tiles_[index]->PaneLines(pane).join(QLatin1Char('\n')));
    }
    layout->addWidget(split);
    dialog.resize(640, 560);
    dialog.exec();
}
