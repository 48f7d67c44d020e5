// The Job menu: what the writer holds and the selectors show, saved as a
// production job for a line to run (otpwriter --job).
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>

#include "app/Latin1Text.h"
#include "app/Unit1.h"
#include "job/JobMaking.h"
#include "ui_unit1.h"

using otp::ToQ;

void TForm1::BuildJobMenu() {
    auto* job = new QMenu(QStringLiteral("Job"), menuBar());
    job->setObjectName(QStringLiteral("JobMenu"));
    menuBar()->insertMenu(helpMenu_->menuAction(), job);
    QAction* save = job->addAction(QStringLiteral("Save as job..."));
    save->setObjectName(QStringLiteral("SaveJob1"));
    save->setToolTip(QStringLiteral("The image the writer holds, the selectors and the writer's firmware as a "
                                    "production job, with the order's quantity; its image is put beside it"));
    connect(save, &QAction::triggered, this, [this] { SaveAsJob(); });
}

void TForm1::SaveAsJob() {
    if (Busy()) return;
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveJobDialog1"));
    dialog.setWindowTitle(QStringLiteral("Save as job"));
    dialog.setDirectory(dialogFolder_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Production jobs (*.otpjob)")});
    dialog.setDefaultSuffix(QStringLiteral("otpjob"));
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    QInputDialog quantity(this);
    quantity.setObjectName(QStringLiteral("JobQuantity1"));
    quantity.setWindowTitle(QStringLiteral("Save as job"));
    quantity.setLabelText(QStringLiteral("The order's quantity (passed chips to make):"));
    quantity.setInputMode(QInputDialog::IntInput);
    quantity.setIntRange(1, 1000000000);
    quantity.setIntValue(1000);
    if (RunModal(quantity) != QDialog::Accepted) return;

    otp::JobSelectors picked;
    picked.body = otp::FromQ(ui_->ComboBox1->currentText());
    picked.lock = ui_->ComboBox4->currentIndex();
    picked.rolling = ui_->ComboBox3->currentIndex();
    if (ui_->ComboBox5->isEnabled()) picked.bankItem = otp::FromQ(ui_->ComboBox5->currentText());
    otp::Job job;
    std::string id, error;
    const std::string file = QFile::encodeName(path).toStdString();
    if (!otp::SaveJobFromWriter(session_->ctx(), picked, file, quantity.intValue(), recorder_.ledger().Lot(), job, id,
                                error)) {
        ShowErrorBox("Save as job", error, true);
        return;
    }
    NoteFolderOf(path);
    ShowErrorBox("Save as job",
                 "Job " + job.name + " (" + id + ") saved in " + file + ": " + std::to_string(job.quantity) +
                     " chips of " + job.image + ", body " + job.body + ". A line runs it with otpwriter --job " + file,
                 false);
}
