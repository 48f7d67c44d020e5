// The window's handlers and how one runs: each handler is one line naming
// itself (HandlerList.h lists them with their operations), and RunHandler
// runs it with the operator's input held off.
#include "app/Unit1.h"

#include <QComboBox>
#include <QLineEdit>

#include <exception>

#include "app/ProductionBar.h"
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
        if (chip) {
            RunChipOperation(chip, operation);
            return;
        }
        otp::Context& ctx = session_->ctx();
        ctx.findings.Clear();
        watch_.Begin();
        ShowOffChip(operation(ctx));
    });
}

void TForm1::ShowOffChip(otp::Outcome outcome) {
    const otp::Context& ctx = session_->ctx();
    bar_->ShowOperation(outcome, outcome == otp::Outcome::Done ? ctx.findings.Text() : watch_.FailureWith(ctx.findings));
}

void TForm1::ComboBox4TextEdited(const QString& text) {
    // The handler runs on a text that names an option in full (in any case):
    // the option the operator typed, never another. A part of a word runs
    // nothing: run on the "o" of "on", the handler would send OFF, the first
    // item "o" begins, and the "n" typed while it runs would be dropped. The
    // selection stays with the option the writer holds until then.
    QComboBox* box = ui_->ComboBox4;
    const int match = text.isEmpty() ? -1 : box->findText(text, Qt::MatchFixedString);
    if (match < 0) return;
    if (match != box->currentIndex()) {
        QLineEdit* edit = box->lineEdit();
        const int cursor = edit->cursorPosition();
        box->setCurrentIndex(match);  // replaces the text with the item's
        edit->setText(text);
        edit->setCursorPosition(cursor);
    }
    ComboBox4Change();
}

void TForm1::ComboBox4EditingFinished() {
    QComboBox* box = ui_->ComboBox4;
    const QString text = box->lineEdit()->text();
    if (!text.isEmpty() && box->findText(text, Qt::MatchFixedString) >= 0) return;
    box->lineEdit()->setText(box->currentIndex() >= 0 ? box->itemText(box->currentIndex()) : QString());
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
    // A close that came meanwhile (the close box, a signal, the session's
    // end) was held off; the handler's work is done and recorded now.
    if (guard_.TakeCloseAsked() || closeOwed_) {
        closeOwed_ = false;
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    }
}

void TForm1::CloseWhenIdle() {
    if (running_) {
        closeOwed_ = true;
        return;
    }
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}
