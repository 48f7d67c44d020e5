#include "app/MenuBarFit.h"

#include <QAction>
#include <QFont>
#include <QMenuBar>

namespace otp {
namespace {

// Whether every visible entry has its place inside the bar's row.
bool AllInSight(QMenuBar& bar) {
    const QRect row = bar.rect();
    for (QAction* action : bar.actions()) {
        if (!action->isVisible()) continue;
        const QRect place = bar.actionGeometry(action);
        if (place.isEmpty() || !row.contains(place)) return false;
    }
    return true;
}

}  // namespace

bool FitMenuBarEntries(QMenuBar& bar, int width) {
    bar.setStyleSheet(QString());
    // Measured with the face and style the bar is shown with.
    bar.ensurePolished();
    bar.resize(width, bar.sizeHint().height());
    if (AllInSight(bar)) return true;
    const QFont font = bar.font();
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : 13;
    // Down to 10 px, the smallest face still read at a glance.
    for (int size = pixels; size >= 10; --size) {
        for (int pad = 4; pad >= 1; --pad) {
            bar.setStyleSheet(QStringLiteral("QMenuBar { font-size: %1px; } QMenuBar::item { padding: 2px %2px; }")
                                  .arg(size)
                                  .arg(pad));
            bar.resize(width, bar.sizeHint().height());
            if (AllInSight(bar)) return true;
        }
    }
    // Nothing fits: the bar stays as the platform draws it.
    bar.setStyleSheet(QString());
    bar.resize(width, bar.sizeHint().height());
    return false;
}

}  // namespace otp
