// Painting while a handler runs: a changed widget is painted with the next
// run of the event pump, all changed widgets in one repaint, and the
// progress panel's bar waits for that run too instead of painting each step.
#include "app/Unit1.h"

#include <QFrame>
#include <QProgressBar>

#include <algorithm>

#include "ui_unit1.h"

void TForm1::ShowNow(QWidget* changed) {
    if (!guard_.Active()) return;  // outside a handler the event loop paints
    if (changed != nullptr && std::find(changed_.begin(), changed_.end(), changed) == changed_.end())
        changed_.push_back(changed);
    pump_.RunIfDue();
}

void TForm1::PaintChanged() {
    if (heldPosition_) {
        // The bar would paint itself at once; it is painted with the rest.
        QProgressBar* bar = ui_->ProgressBar1;
        bar->setUpdatesEnabled(false);
        bar->setValue(*heldPosition_);
        bar->setUpdatesEnabled(true);
        heldPosition_.reset();
    }
    // One repaint paints all that is marked in the window, so each changed
    // widget is painted once.
    QWidget* last = nullptr;
    for (const QPointer<QWidget>& w : changed_) {
        if (w == nullptr || !w->isVisible()) continue;
        w->update();
        last = w;
    }
    changed_.clear();
    if (last != nullptr) last->repaint();
}

// ---------------------------------------------------------------------------
// The progress panel

void TForm1::ShowProgress(bool on) {
    ui_->Panel1->setVisible(on);
    if (on) ui_->Panel1->raise();
    // Shown, the panel is painted; hidden, what lies beneath it, at once:
    // the end of a progress is the last state of the steps before it.
    ShowNow(on ? static_cast<QWidget*>(ui_->Panel1) : ui_->ClientArea);
    if (!on && guard_.Active()) pump_.Run();
}

void TForm1::SetProgressMax(int count) {
    // A bar whose maximum equals its minimum would turn into a busy
    // indicator; an empty bar of one step looks like the empty bar of none.
    // A step held back belongs to the progress before.
    heldPosition_.reset();
    ui_->ProgressBar1->setMaximum(std::max(count, 1));
    ShowNow(ui_->ProgressBar1);
}

void TForm1::SetProgressPosition(int position) {
    // The bar paints itself at every step it can show; while a handler runs
    // the step waits for the pump instead.
    if (guard_.Active())
        heldPosition_ = position;
    else
        ui_->ProgressBar1->setValue(position);
    ShowNow(ui_->ProgressBar1);
}
