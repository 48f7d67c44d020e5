// The window's dialogs: the notice, question and error boxes the logic asks
// for, the box of a handler's failure, and the file dialogs, which open in
// the folder of the last file chosen. Each runs modal with a pass through
// the input guard, so the operator can answer it while a handler runs. A
// .rom file dropped on the window stands for the file chosen in the Load.
#include "app/Unit1.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QUrl>

#include <utility>

#include "app/FileDialogFilter.h"
#include "app/Latin1Text.h"
#include "ui_unit1.h"

namespace {

const QString kFolderKey = QStringLiteral("dialogs/folder");

// The one local .rom file `mime` carries; "" for anything else (more files,
// another kind of file, a page of the web, text).
QString DroppedRomFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
    const QString path = urls.first().toLocalFile();
    if (!path.endsWith(QLatin1Char('.') + QLatin1String(otp::kRomDefaultSuffix), Qt::CaseInsensitive)) return {};
    return path;
}

}  // namespace

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

bool TForm1::AskLoadDamaged(const std::string& text) {
    // Enter takes the safe answer: a damaged file is loaded only on a click
    // or a key aimed at Yes.
    QMessageBox box(QMessageBox::Question, ToQ(otp::kConfirmTitle), ToQ(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
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
    dialog.setDirectory(dialogFolder_);
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
    if (save) dialog.selectFile(SuggestedSaveName());
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    NoteFolderOf(chosen.first());
    // A path keeps the file system's encoding, unlike the texts.
    return QFile::encodeName(chosen.first()).toStdString();
}

QString TForm1::SuggestedSaveName() const {
    // Edit2 names the file last loaded or saved, in the file system's
    // encoding, or the firmware file after an update, which is no name for
    // an image.
    const QString loaded =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(otp::FromQ(ui_->Edit2->text())))).fileName();
    if (loaded.endsWith(QLatin1Char('.') + QLatin1String(otp::kRomDefaultSuffix), Qt::CaseInsensitive)) return loaded;
    const QString body = ui_->ComboBox1->currentText().trimmed();
    if (body.isEmpty()) return {};
    return body + QLatin1Char('.') + QLatin1String(otp::kRomDefaultSuffix);
}

void TForm1::NoteFolderOf(const QString& file) {
    dialogFolder_ = QFileInfo(file).absolutePath();
    if (settings_ != nullptr) settings_->setValue(kFolderKey, dialogFolder_);
}

void TForm1::RememberFoldersIn(QSettings& settings) {
    settings_ = &settings;
    const QString kept = settings.value(kFolderKey).toString();
    if (!kept.isEmpty() && QFileInfo(kept).isDir()) dialogFolder_ = kept;
}

std::optional<std::string> TForm1::ChooseOpenFile() {
    if (droppedFile_) return std::exchange(droppedFile_, std::nullopt);
    return ChooseFile(false);
}

std::optional<std::string> TForm1::ChooseSaveFile() { return ChooseFile(true); }

// ---------------------------------------------------------------------------
// A file dropped on the window

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !DroppedRomFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!running_ && !DroppedRomFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString file = DroppedRomFile(event->mimeData());
    if (running_ || file.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The Load runs once the drop is over (the program the file came from
    // waits for its end), as from its menu entry: through RunHandler, taking
    // the dropped file for the one its dialog would have given. Should
    // another handler have started meanwhile, nothing runs.
    QMetaObject::invokeMethod(
        this,
        [this, file] { LoadGivenRomFile(file); }, Qt::QueuedConnection);
}

void TForm1::LoadGivenRomFile(const QString& file) {
    if (running_) return;
    NoteFolderOf(file);
    droppedFile_ = QFile::encodeName(file).toStdString();
    LoadROMFile1Click();
    droppedFile_.reset();
}
