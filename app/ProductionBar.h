#pragma once
// The status bar of a production session, below the panes: the last chip's
// verdict as a large word on its colour (PASS green, FAIL red, REFUSED
// grey), the line that said what went wrong, the counts of this session
// with the yield and a button that resets them, where the results are
// logged, how many records are still only on this computer (the record
// server away), in demo mode that the writer is only emulated, and when the
// waits are fast.
#include <QWidget>

#include "production/ChipRecorder.h"

class QLabel;
class QPushButton;

// The line that says how many records are only in the spool, not yet in
// the record server: hidden until a chip leaves some there.
QLabel* NewOnlyHereNotice(QWidget* parent);
void ShowOnlyHere(QLabel* notice, const std::string& onlyHere);

class ProductionBar : public QWidget {
    Q_OBJECT
public:
    explicit ProductionBar(QWidget* parent = nullptr);

    void ShowResult(const otp::ChipResult& result, const otp::Tally& tally);
    void ShowCounts(const otp::Tally& tally);
    // How an operation off the chip (Load, Upload, a selector) ended: what
    // went wrong when it failed or was refused, what it found beyond its
    // pane lines when it passed; the verdict stays that of the last chip,
    // whose line comes back once such an operation passes with nothing to say.
    void ShowOperation(otp::Outcome outcome, const std::string& text);
    // "" when no log is kept.
    void ShowLog(const QString& path);
    void ShowDemo(const QString& text);
    // Whether the waits end once the writer's answer is whole.
    void ShowWaits(bool fast);

signals:
    void resetRequested();

private:
    QLabel* verdict_;
    QLabel* detail_;
    QString chipDetail_;  // the last chip's line
    QLabel* counts_;
    QLabel* log_;
    QLabel* onlyHere_;
    QLabel* demo_;
    QLabel* waits_;
    QPushButton* reset_;
};
