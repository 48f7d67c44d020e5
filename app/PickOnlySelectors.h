#pragma once
// A selector of the main window (body, lock, rolling code, bank) sends its
// choice to the writer the moment it changes, so it changes only by the
// operator's explicit pick: an item clicked or chosen in the open list, or
// an arrow, page, Home or End key on the closed box. What would change it
// by the way is dropped: the mouse wheel over a closed box (a notch while
// scrolling past it), and a letter typed into a closed box that is not
// editable, which would jump to the first item the letter begins, not to
// the one the operator goes on to type.
#include <QObject>

class QComboBox;

namespace otp {

class PickOnlySelectors : public QObject {
    Q_OBJECT
public:
    explicit PickOnlySelectors(QObject* parent = nullptr) : QObject(parent) {}

    void Guard(QComboBox& box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace otp
