#pragma once
// The station window: several writers from one program, a tile each. Load ROM
// loads the file into every writer at once (the damaged-file question asked
// once), F5 or "Start all" starts Auto in every socket at once, a click on a
// tile or the keys 1-8 one socket. Each writer works on its own thread with
// its own context; the window stays responsive and shows each tile's
// progress and verdict as the writers report them. The per-writer panes are
// not shown; a tile's "Panes" opens them, read-only. A socket set aside (a
// worn contact) is passed by until it is taken back.
#include <QMainWindow>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/WriterIni.h"
#include "job/JobFile.h"
#include "link/WriterLine.h"
#include "station/ProductionRound.h"
#include "station/Station.h"

class QLabel;
class QPushButton;
class StationTile;

namespace otp {
class TileFeed;
}

class StationWindow : public QMainWindow {
    Q_OBJECT
public:
    // The line of the `index`th writer, on port `port`.
    using LineMaker = std::function<otp::WriterLine(const std::string& port, size_t index)>;

    // Starts every writer's start-up at once (Writer.ini of `workingDir`,
    // read once); `log` (else Writer.ini's PRODUCTION_LOG) is every writer's
    // production log. `demo`: each Auto puts a fresh blank chip in first.
    StationWindow(const std::vector<std::string>& ports, const LineMaker& makeLine, std::string workingDir,
                  const std::string& log, bool demo, const std::string& lot = {},
                  const std::string& operatorName = {}, QWidget* parent = nullptr);
    ~StationWindow() override;

    // Every record goes to the line's record server too: `url` (--record),
    // else Writer.ini's PRODUCTION_RECORD. It is reached on a thread of its
    // own while the window paints, and a chip started meanwhile waits for
    // it on its writer's thread. One that cannot be reached is named in a
    // box, and no chip starts until it can be.
    void UseRecordServer(const std::string& url);
    // Job mode: the production job at `path` fixes the image and the
    // settings. Every writer opens it after its start-up (the image loaded
    // and checked, the settings read back, the firmware compared; one that
    // differs is stopped, its tile saying what differs), the title and every
    // tile name it, the load is locked, and each chip claims a place of its
    // order. False with `error` when the job cannot be read, or the lot
    // named differs from the job's. Before the window shows.
    bool UseJob(const std::string& path, std::string& error);
    otp::ChipLedger& ledger() { return station_->ledger(); }
    // Loads `file` into every running writer at once, after what each does now.
    void LoadFile(const QString& file);
    // Auto in every running socket that is not busy; one socket.
    void StartAll();
    void StartOne(size_t index);
    // Some writer is at work.
    bool Busy() const;
    // Closes now, or once every writer's work under way has ended.
    void CloseWhenIdle();

    StationTile* Tile(size_t index) const { return tiles_[index]; }
    size_t Writers() const { return tiles_.size(); }
    QString Totals() const;
    QPushButton* LoadButton() const { return load_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs `job` on writer `index`'s thread; `done`, with what the job
    // returned, on the window's thread after it.
    // `queue`: after what the writer does now (a load given on the command
    // line waits for the start-up); else nothing when it is at work.
    void Run(size_t index, const QString& busyWord, const std::function<std::function<void()>(otp::StationWriter&)>& job,
             bool queue = false);
    void Ended(size_t index);
    void ChooseAndLoad();
    void ShowPanes(size_t index);
    // Sets socket `index` aside, or takes it back; not while it works.
    void ToggleAside(size_t index);
    bool AskLoadDamagedOnce(const std::string& text);
    void UpdateTotals();
    // On a writer's thread: until the record server named has been tried.
    void AwaitRecordServer();
    // On a writer's thread, before a chip: the rules, with the job's order
    // opened (once, in the record server when there is one); empty `error`
    // when it could be.
    otp::RoundRules Rules(std::string& error);
    // A load (or a job's opening) for writer `index` ended: a start owed to it runs, or is dropped.
    void LoadEnded(size_t index, bool passed);

    std::string workingDir_;
    bool demo_;
    otp::IniFile ini_;
    std::unique_ptr<otp::Station> station_;
    otp::RoundRules rules_;  // the stop rules and the order every chip keeps, once it is opened
    std::optional<otp::JobFile> job_;
    std::mutex orderMutex_;
    std::unique_ptr<otp::ProductionOrder> order_;
    QPushButton* load_ = nullptr;
    std::vector<bool> loading_;    // a load or a job's opening is under way, per writer
    std::vector<bool> startOwed_;  // a start pressed during it, per writer
    std::vector<bool> startAfterLoad_;  // that start, once the load has passed and its job ended
    // The record server named (--record, PRODUCTION_RECORD); empty: none.
    std::string recordUrl_;
    std::mutex recordMutex_;
    std::shared_future<void> recordOpening_;  // the first try of the record server
    QLabel* onlyHere_ = nullptr;              // records only in the spool, in the status bar
    std::vector<StationTile*> tiles_;
    std::vector<otp::TileFeed*> feeds_;
    std::vector<int> busy_;  // jobs posted and not ended, per writer
    std::vector<bool> stoppedShown_;
    bool closeOwed_ = false;
    std::atomic<bool> closing_{false};  // read on the writers' threads
    QLabel* totals_ = nullptr;
    QString dialogFolder_;
    // The damaged-file question of the load under way, answered once.
    std::mutex askMutex_;
    std::optional<bool> loadAnswer_;
};
