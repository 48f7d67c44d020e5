#pragma once
// One writer's tile in the station window: its port, firmware version, body
// and image checksum, a big verdict (PASS green, FAIL red, busy, no writer),
// a progress bar, its passed/failed/yield and its last failure's finding.
// A click on it starts Auto on that socket; "Panes" shows the writer's two
// panes, read-only, so that nothing the operations say is lost; "Set aside"
// takes the socket out of production (a worn contact) until "Take back".
#include <QFrame>
#include <QStringList>

#include "production/ChipRecorder.h"

class QLabel;
class QProgressBar;
class QPushButton;

class StationTile : public QFrame {
    Q_OBJECT
public:
    StationTile(const QString& port, int key, QWidget* parent = nullptr);

    // "loading" goes on to say how far the load is ("loading 12 %").
    void ShowBusy(const QString& what);
    // The production job the socket works for, beside its port.
    void ShowJob(const QString& name);
    void ShowReady(const QString& version, const QString& body);
    // `word`: what the big field says ("no writer" after a start-up that found none).
    void ShowStopped(const QString& why, const QString& word = QStringLiteral("no writer"));
    // No chip was started (`why`); `complete`: the order has all its chips.
    void ShowNotStarted(const QString& why, bool complete);
    // `order`: the job's order after the chip ("order 7 of 10"); empty without a job.
    void ShowResult(const otp::ChipResult& result, const otp::Tally& tally, const std::string& order = {});
    void ShowProgress(bool shown, int percent);
    void ShowChecksum(const QString& checksum);
    void ShowBody(const QString& body);
    void ShowSaid(const QString& text);
    // What a step off the chip (Load) ended with: its failure, or nothing.
    void ShowStepEnd(bool passed, const QString& failure);
    // The socket set aside by the operator, or taken back (`aside` false).
    void ShowAside(bool aside);
    // Whether the operator may set the socket aside or take it back now (not while it works).
    void AllowAside(bool allowed);

    void ClearPane(int pane);
    void AddLine(int pane, const QString& text);
    const QStringList& PaneLines(int pane) const { return panes_[pane == 0 ? 0 : 1]; }
    QString VerdictText() const;
    QString Finding() const;

signals:
    void startRequested();
    void panesRequested();
    void asideRequested();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetVerdict(const QString& word, const char* style);

    QString busyWord_;
    QLabel* port_;
    QLabel* version_;
    QLabel* body_;
    QLabel* checksum_;
    QLabel* verdict_;
    QProgressBar* progress_;
    QLabel* counts_;
    QLabel* finding_;
    QPushButton* panesButton_;
    QPushButton* asideButton_;
    QStringList panes_[2];
};
