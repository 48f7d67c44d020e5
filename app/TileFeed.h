#pragma once
// The view one writer of the station window works with, on the writer's own
// thread: the window's state as a FormModel, and what the tile shows of it
// passed to the window's thread as signals (queued, so nothing of the tile
// is touched from the writer's thread). Boxes become the tile's finding
// line instead of one modal box per writer; the damaged-file question is
// asked once for every writer by the window (`askLoadDamaged`).
#include <QObject>
#include <QString>

#include <functional>
#include <string>

#include "view/FormModel.h"

namespace otp {

class TileFeed : public QObject, public FormModel {
    Q_OBJECT
public:
    // Asks the operator, on the window's thread, whether to load a damaged
    // file; set before the writer's thread starts.
    std::function<bool(const std::string&)> askLoadDamaged;

    void ClearPane(Control pane) override;
    void AppendLine(Control pane, const std::string& text) override;
    void SetFieldText(Control field, const std::string& text) override;
    void ShowProgress(bool on) override;
    void SetProgressMax(int count) override;
    void SetProgressPosition(int position) override;
    void ShowNotice(const std::string& text) override;
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;

signals:
    // pane 0 is the upper pane, 1 the lower.
    void paneCleared(int pane);
    void lineAdded(int pane, const QString& text);
    void progressChanged(bool shown, int percent);
    // A notice or box: the tile's finding line.
    void said(const QString& text);
    // Edit1 (the image's checksum), Edit2 (the file), the body selected.
    void fieldChanged(int control, const QString& text);

private:
    void Progress();
    int lastPercent_ = -1;
    bool lastShown_ = false;
};

}  // namespace otp
