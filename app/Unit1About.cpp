// What the window says of the program: the "?" menu, last in the menu bar,
// with the About box (name, version, build time, the writer's firmware as
// last read), and the window icon.
#include "app/Unit1.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "app/Latin1Text.h"
#include "app/ProgramInfo.h"

void TForm1::BuildHelpMenu() {
    setWindowIcon(otp::ProgramIcon());
    helpMenu_ = menuBar()->addMenu(QStringLiteral("?"));
    helpMenu_->setObjectName(QStringLiteral("HelpMenu"));
    QAction* about = helpMenu_->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("About1"));
    about->setMenuRole(QAction::NoRole);
    connect(about, &QAction::triggered, this, [this] { RunHandler("About1Click", [this] { ShowAbout(); }); });
}

void TForm1::ShowAbout() {
    const std::string& firmware = session_->state().WriterVersion;
    const QString built = otp::ProgramBuildTime();
    QStringList lines = {
        otp::ProgramName() + QLatin1Char(' ') + otp::ProgramVersion(),
        QStringLiteral("The host program of the OTP IC writer."),
        QStringLiteral("F5 (or a foot switch that sends it) starts Auto."),
        QString(),
    };
    if (!built.isEmpty()) lines << QStringLiteral("Built: ") + built;
    lines << (firmware.empty() ? QStringLiteral("Writer firmware: not read yet (no writer has answered)")
                               : QStringLiteral("Writer firmware: ") + otp::ToQ(firmware) +
                                     QStringLiteral(" (as last read)"));
    lines << QStringLiteral("Qt ") + QString::fromLatin1(qVersion());
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About ") + otp::ProgramName(), lines.join(QLatin1Char('\n')),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    RunBox(box);
}
