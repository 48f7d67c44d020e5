// The window's handlers and how one runs: each handler is one line naming
// itself (HandlerList.h lists them with their operations), and RunHandler
// runs it with the operator's input held off.
#include "app/Unit1.h"

#include <QComboBox>
#include <QLineEdit>

#include <exception>

#include "ui_unit1.h"

namespace {

// What escapes `body`, as the text of a box; nothing when it ends normally.
std::optional<std::string> RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        return std::string(e.what());
    } catch (...) {
        return std::string("An unknown error ended the operation.");
    }
    return std::nullopt;
}

}  // namespace

#define OTP_DEFINE_HANDLER(handler, control, signal, operation, chip) \
    void TForm1::handler() { RunOperation(#handler); }
OTP_WINDOW_HANDLERS(OTP_DEFINE_HANDLER)
#undef OTP_DEFINE_HANDLER

void TForm1::RunOperation(const char* handler) {
    const otp::WindowOperation operation = operationFor ? operationFor(handler) : otp::WindowOperation();
    const char* chip = otp::ChipOperationOf(handler);
    RunHandler(handler, [this, &operation, chip] {
        if (!operation) return;
        if (chip) RunChipOperation(chip, operation);
        else operation(session_->ctx());
    });
}

void TForm1::ComboBox4TextEdited(const QString& text) {
    // The list follows the typed text: the first item it begins, or none.
    QComboBox* box = ui_->ComboBox4;
    int match = -1;
    for (int i = 0; i < box->count() && !text.isEmpty(); ++i) {
        if (box->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            match = i;
            break;
        }
    }
    if (match != box->currentIndex()) {
        QLineEdit* edit = box->lineEdit();
        const int cursor = edit->cursorPosition();
        box->setCurrentIndex(match);  // replaces the text with the item's
        edit->setText(text);
        edit->setCursorPosition(cursor);
    }
    ComboBox4Change();
}

void TForm1::RunHandler(const char* name, const std::function<void()>& body) {
    if (running_) return;
    RunBusy([this, name, &body] {
        if (handlerObserver) handlerObserver(name);
        body();
    });
}

void TForm1::RunBusy(const std::function<void()>& body) {
    std::optional<std::string> failure;
    {
        running_ = true;
        otp::InputGuard::Hold hold(guard_);
        failure = RunGuarded(body);
        pump_.Run();  // the last state shows, and input that came meanwhile goes
        running_ = false;
    }
    if (failure) ShowFailure(*failure);
}
