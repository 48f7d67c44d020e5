#include "app/InputGuard.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace otp {

InputGuard::InputGuard(QObject& window) : window_(&window) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

InputGuard::~InputGuard() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

InputGuard::DialogPass::DialogPass(InputGuard& guard, QObject& dialog) : guard_(guard), dialog_(&dialog) {
    guard_.passes_.push_back(dialog_);
}

InputGuard::DialogPass::~DialogPass() {
    auto& passes = guard_.passes_;
    auto it = std::find(passes.rbegin(), passes.rend(), dialog_);
    if (it != passes.rend()) passes.erase(std::next(it).base());
}

bool InputGuard::IsInputEvent(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

bool InputGuard::eventFilter(QObject* watched, QEvent* event) {
    if (depth_ == 0 || !IsInputEvent(*event)) return false;
    // Walk up the owners: a dialog with a pass lets its input through even
    // when the window owns it; anything else the window owns gets none.
    for (QObject* o = watched; o != nullptr; o = o->parent()) {
        if (std::find(passes_.begin(), passes_.end(), o) != passes_.end()) return false;
        if (o == window_) {
            if (event->type() == QEvent::Close) {
                if (closePasses_ > 0) return false;
                event->ignore();  // an accepted close would still close the window
                closeAsked_ = true;
            }
            return true;
        }
    }
    return false;
}

}  // namespace otp
