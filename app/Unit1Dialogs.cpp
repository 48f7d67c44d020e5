// The window's dialogs: the notice, question and error boxes the logic asks
// for, the box of a handler's failure, and the file dialogs. Each runs modal
// with a pass through the input guard, so the operator can answer it while a
// handler runs.
#include "app/Unit1.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "app/FileDialogFilter.h"
#include "app/Latin1Text.h"

using otp::ToQ;

int TForm1::RunModal(QDialog& dialog) {
    otp::InputGuard::DialogPass pass(guard_, dialog);
    return dialog.exec();
}

int TForm1::RunBox(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    return RunModal(box);
}

void TForm1::ShowFailure(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, ToQ(otp::kApplicationTitle), ToQ(text), QMessageBox::Ok, this);
    RunBox(box);
}

void TForm1::ShowNotice(const std::string& text) {
    // No owner: the box stands centred on the screen.
    QMessageBox box(QMessageBox::NoIcon, ToQ(otp::kApplicationTitle), ToQ(text), QMessageBox::Ok);
    RunBox(box);
}

bool TForm1::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, ToQ(otp::kConfirmTitle), ToQ(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return RunBox(box) == QMessageBox::Yes;
}

void TForm1::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    QWidget* owner = nullptr;
    if (withIcon) {
        owner = QApplication::activeWindow();
        if (owner == nullptr) owner = this;
    }
    QMessageBox box(withIcon ? QMessageBox::Critical : QMessageBox::NoIcon, ToQ(title), ToQ(text), QMessageBox::Ok,
                    owner);
    RunBox(box);
}

std::optional<std::string> TForm1::ChooseFile(bool save) {
    QFileDialog dialog(this);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Any name is taken: the operations report a file that is not there, and
    // saving over an existing file asks nothing.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = otp::QtNameFilters(otp::kRomFileFilter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    dialog.setDefaultSuffix(QString::fromLatin1(otp::kRomDefaultSuffix));
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    // A path keeps the file system's encoding, unlike the texts.
    return QFile::encodeName(chosen.first()).toStdString();
}

std::optional<std::string> TForm1::ChooseOpenFile() { return ChooseFile(false); }
std::optional<std::string> TForm1::ChooseSaveFile() { return ChooseFile(true); }
