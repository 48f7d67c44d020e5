#include "app/PickOnlySelectors.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>

namespace otp {

void PickOnlySelectors::Guard(QComboBox& box) { box.installEventFilter(this); }

bool PickOnlySelectors::eventFilter(QObject* watched, QEvent* event) {
    const bool wheel = event->type() == QEvent::Wheel;
    if (!wheel && event->type() != QEvent::KeyPress) return false;
    auto* box = qobject_cast<QComboBox*>(watched);
    if (box == nullptr) return false;
    // The open list is a window of its own and takes its wheel and keys
    // there; these reach the box while it is closed.
    if (box->view()->isVisible()) return false;
    if (wheel) {
        event->ignore();  // the window around it may scroll instead
        return true;
    }
    if (box->isEditable()) return false;  // the lock's typed text: TForm1::ComboBox4TextEdited
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // A space opens the list, as it should.
    return !command && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace();
}

}  // namespace otp
