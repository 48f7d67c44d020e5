#include "app/ProductionBar.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/Latin1Text.h"

namespace {

struct Look {
    const char* word;
    const char* colours;  // background, text
};

Look LookOf(otp::Verdict v) {
    switch (v) {
        case otp::Verdict::Pass: return {"PASS", "background:#1e7d32;color:white;"};
        case otp::Verdict::Refused: return {"REFUSED", "background:#9e9e9e;color:black;"};
        case otp::Verdict::Fail:
        case otp::Verdict::NoWriter: break;
    }
    return {"FAIL", "background:#c62828;color:white;"};
}

}  // namespace

QLabel* NewOnlyHereNotice(QWidget* parent) {
    auto* notice = new QLabel(parent);
    notice->setObjectName(QStringLiteral("OnlyHereNotice"));
    notice->setStyleSheet(QStringLiteral("color:#8a4b00;"));
    notice->hide();
    return notice;
}

void ShowOnlyHere(QLabel* notice, const std::string& onlyHere) {
    notice->setText(otp::ToQ(onlyHere));
    notice->setVisible(!onlyHere.empty());
}

ProductionBar::ProductionBar(QWidget* parent)
    : QWidget(parent),
      verdict_(new QLabel(QStringLiteral("-"), this)),
      detail_(new QLabel(QStringLiteral("No chip yet"), this)),
      chipDetail_(detail_->text()),
      counts_(new QLabel(this)),
      log_(new QLabel(this)),
      onlyHere_(NewOnlyHereNotice(this)),
      demo_(new QLabel(this)),
      waits_(new QLabel(QStringLiteral("Fast waits: each wait for the writer ends once its whole answer is in "
                                       "(Options menu)."),
                        this)),
      reset_(new QPushButton(QStringLiteral("Reset counts"), this)) {
    verdict_->setObjectName(QStringLiteral("Verdict"));
    detail_->setObjectName(QStringLiteral("VerdictDetail"));
    counts_->setObjectName(QStringLiteral("ChipCounts"));
    log_->setObjectName(QStringLiteral("ProductionLogName"));
    demo_->setObjectName(QStringLiteral("DemoNotice"));
    waits_->setObjectName(QStringLiteral("WaitsNotice"));
    reset_->setObjectName(QStringLiteral("ResetCounts"));

    QFont big = verdict_->font();
    big.setPixelSize(28);
    big.setBold(true);
    verdict_->setFont(big);
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setMinimumWidth(150);
    verdict_->setStyleSheet(QStringLiteral("background:#e0e0e0;color:black;"));
    QFont bold = counts_->font();
    bold.setBold(true);
    counts_->setFont(bold);
    demo_->setStyleSheet(QStringLiteral("color:#8a4b00;font-weight:bold;"));
    demo_->hide();
    onlyHere_->setWordWrap(true);
    waits_->hide();
    reset_->setFocusPolicy(Qt::NoFocus);
    connect(reset_, &QPushButton::clicked, this, &ProductionBar::resetRequested);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(1);
    grid->addWidget(verdict_, 0, 0, 3, 1);
    grid->addWidget(detail_, 0, 1, 1, 2);
    grid->addWidget(counts_, 1, 1);
    grid->addWidget(reset_, 1, 2, Qt::AlignRight);
    grid->addWidget(log_, 2, 1, 1, 2);
    grid->addWidget(onlyHere_, 3, 0, 1, 3);
    grid->addWidget(demo_, 4, 0, 1, 3);
    grid->addWidget(waits_, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    ShowCounts(otp::Tally{});
    ShowLog(QString());
}

void ProductionBar::ShowResult(const otp::ChipResult& result, const otp::Tally& tally) {
    const Look look = LookOf(result.verdict);
    verdict_->setText(QString::fromLatin1(look.word));
    verdict_->setStyleSheet(QString::fromLatin1(look.colours));
    QString detail;
    if (result.verdict == otp::Verdict::NoWriter) detail = QStringLiteral("No writer: ");
    if (!result.failure.empty()) detail += otp::ToQ(result.failure);
    else if (!result.note.empty()) detail += otp::ToQ("The chip passed, but: " + result.note);
    else detail += QStringLiteral("The chip passed");
    detail_->setText(detail);
    chipDetail_ = detail;
    ShowCounts(tally);
    ShowOnlyHere(onlyHere_, result.onlyHere);
}

void ProductionBar::ShowOperation(otp::Outcome outcome, const std::string& text) {
    if (outcome == otp::Outcome::Done && text.empty()) {
        detail_->setText(chipDetail_);
        return;
    }
    const char* start = outcome == otp::Outcome::Failed    ? "The last operation failed: "
                        : outcome == otp::Outcome::Refused ? "The last operation was refused: "
                                                           : "The last operation found: ";
    detail_->setText(otp::ToQ(start + text));
}

void ProductionBar::ShowCounts(const otp::Tally& tally) {
    counts_->setText(otp::ToQ("Chips " + std::to_string(tally.Chips()) + ": " + tally.Summary()));
}

void ProductionBar::ShowLog(const QString& path) {
    log_->setText(path.isEmpty() ? QStringLiteral("No production log is kept (--log FILE or PRODUCTION_LOG)")
                                 : QStringLiteral("Production log: ") + path);
}

void ProductionBar::ShowWaits(bool fast) { waits_->setVisible(fast); }

void ProductionBar::ShowDemo(const QString& text) {
    demo_->setText(text);
    demo_->setVisible(!text.isEmpty());
}
