#include "app/StationTile.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "app/Latin1Text.h"

namespace {

// A pane keeps this many lines for the read-only view; older ones go.
constexpr int kPaneLines = 5000;

const char* const kIdle = "background:#e0e0e0;color:black;";
const char* const kBusy = "background:#f9a825;color:black;";
const char* const kPass = "background:#1e7d32;color:white;";
const char* const kFail = "background:#c62828;color:white;";
const char* const kGrey = "background:#9e9e9e;color:black;";

}  // namespace

StationTile::StationTile(const QString& port, int key, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Tile") + port);
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::PointingHandCursor);
    auto* grid = new QGridLayout(this);
    port_ = new QLabel(QStringLiteral("<b>%1</b>%2").arg(port, key > 0 ? QStringLiteral("  (key %1)").arg(key) : QString()), this);
    version_ = new QLabel(QStringLiteral("Writer: -"), this);
    body_ = new QLabel(QStringLiteral("Body: -"), this);
    checksum_ = new QLabel(QStringLiteral("Image: -"), this);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("TileVerdict"));
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setMinimumHeight(64);
    QFont big = verdict_->font();
    big.setPixelSize(32);
    big.setBold(true);
    verdict_->setFont(big);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("TileCounts"));
    finding_ = new QLabel(this);
    finding_->setObjectName(QStringLiteral("TileFinding"));
    finding_->setWordWrap(true);
    finding_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panesButton_ = new QPushButton(QStringLiteral("Panes"), this);
    panesButton_->setObjectName(QStringLiteral("TilePanes"));
    panesButton_->setToolTip(QStringLiteral("Show this writer's two panes"));
    panesButton_->setFocusPolicy(Qt::NoFocus);
    connect(panesButton_, &QPushButton::clicked, this, &StationTile::panesRequested);
    asideButton_ = new QPushButton(this);
    asideButton_->setObjectName(QStringLiteral("TileAside"));
    asideButton_->setFocusPolicy(Qt::NoFocus);
    connect(asideButton_, &QPushButton::clicked, this, &StationTile::asideRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(asideButton_);
    buttons->addWidget(panesButton_);
    grid->addWidget(port_, 0, 0);
    grid->addLayout(buttons, 0, 1, Qt::AlignRight);
    grid->addWidget(version_, 1, 0, 1, 2);
    grid->addWidget(body_, 2, 0);
    grid->addWidget(checksum_, 2, 1);
    grid->addWidget(verdict_, 3, 0, 1, 2);
    grid->addWidget(progress_, 4, 0, 1, 2);
    grid->addWidget(counts_, 5, 0, 1, 2);
    grid->addWidget(finding_, 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
    SetVerdict(QStringLiteral("-"), kIdle);
    ShowAside(false);
    AllowAside(false);
    counts_->setText(QString::fromStdString("Chips 0: " + otp::Tally{}.Summary()));
}

void StationTile::SetVerdict(const QString& word, const char* style) {
    verdict_->setText(word);
    verdict_->setStyleSheet(QString::fromLatin1(style));
}

void StationTile::ShowBusy(const QString& what) {
    busyWord_ = what;
    SetVerdict(what, kBusy);
    finding_->clear();
}

void StationTile::ShowJob(const QString& name) {
    port_->setText(port_->text() + QStringLiteral("  job <b>%1</b>").arg(name.toHtmlEscaped()));
}

void StationTile::ShowReady(const QString& version, const QString& body) {
    version_->setText(QStringLiteral("Writer: ") + version);
    ShowBody(body);
    SetVerdict(QStringLiteral("ready"), kIdle);
}

void StationTile::ShowNotStarted(const QString& why, bool complete) {
    busyWord_.clear();
    progress_->setVisible(false);
    SetVerdict(complete ? QStringLiteral("complete") : QStringLiteral("no chip"), complete ? kIdle : kGrey);
    finding_->setText(QStringLiteral("No chip started: ") + why);
}

void StationTile::ShowStopped(const QString& why, const QString& word) {
    SetVerdict(word, kGrey);
    progress_->setVisible(false);
    finding_->setText(QStringLiteral("Stopped: ") + why);
}

void StationTile::ShowResult(const otp::ChipResult& result, const otp::Tally& tally, const std::string& order) {
    progress_->setVisible(false);
    switch (result.verdict) {
        case otp::Verdict::Pass: SetVerdict(QStringLiteral("PASS"), kPass); break;
        case otp::Verdict::Refused: SetVerdict(QStringLiteral("REFUSED"), kGrey); break;
        case otp::Verdict::Fail:
        case otp::Verdict::NoWriter: SetVerdict(QStringLiteral("FAIL"), kFail); break;
    }
    // The last chip's rolling code, which the operator may mark on it.
    const std::string code = result.rollingCode.empty() ? "" : "\nLast code: " + result.rollingCode;
    counts_->setText(QString::fromStdString("Chips " + std::to_string(tally.Chips()) + ": " + tally.Summary() +
                                            (order.empty() ? "" : ", " + order) + code));
    const std::string& why = result.verdict == otp::Verdict::Pass ? result.note : result.failure;
    finding_->setText(otp::ToQ(why));
}

void StationTile::ShowStepEnd(bool passed, const QString& failure) {
    busyWord_.clear();
    progress_->setVisible(false);
    SetVerdict(passed ? QStringLiteral("ready") : QStringLiteral("FAIL"), passed ? kIdle : kFail);
    finding_->setText(failure);
}

void StationTile::ShowAside(bool aside) {
    asideButton_->setText(aside ? QStringLiteral("Take back") : QStringLiteral("Set aside"));
    asideButton_->setToolTip(aside ? QStringLiteral("Take this socket back into production")
                                   : QStringLiteral("Take this socket out of production (a worn contact): "
                                                    "F5 passes it by until it is taken back"));
    if (aside) {
        SetVerdict(QStringLiteral("aside"), kGrey);
        finding_->setText(QStringLiteral("Set aside: no chip starts here until it is taken back"));
    } else if (verdict_->text() == QStringLiteral("aside")) {
        SetVerdict(QStringLiteral("ready"), kIdle);
        finding_->clear();
    }
}

void StationTile::AllowAside(bool allowed) { asideButton_->setEnabled(allowed); }

void StationTile::ShowProgress(bool shown, int percent) {
    progress_->setVisible(shown);
    progress_->setValue(percent);
    // A socket that loads is not ready: it says how far the load is.
    if (shown && busyWord_ == QStringLiteral("loading") && verdict_->text().startsWith(busyWord_))
        verdict_->setText(QStringLiteral("loading %1 %").arg(percent));
}

void StationTile::ShowChecksum(const QString& checksum) { checksum_->setText(QStringLiteral("Image: ") + checksum); }
void StationTile::ShowBody(const QString& body) { body_->setText(QStringLiteral("Body: ") + body); }
void StationTile::ShowSaid(const QString& text) { finding_->setText(text); }

void StationTile::ClearPane(int pane) { panes_[pane == 0 ? 0 : 1].clear(); }

void StationTile::AddLine(int pane, const QString& text) {
    QStringList& lines = panes_[pane == 0 ? 0 : 1];
    lines << text;
    if (lines.size() > kPaneLines) lines.erase(lines.begin(), lines.begin() + (lines.size() - kPaneLines));
}

QString StationTile::VerdictText() const { return verdict_->text(); }
QString StationTile::Finding() const { return finding_->text(); }

void StationTile::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit startRequested();
    QFrame::mouseReleaseEvent(event);
}
