#pragma once
// The console face of one writer of a station: its pane lines on stdout after
// its port ("COM2: ..."), its boxes and answers on stderr the same way, and
// its step and progress in its live line. Everything is also kept in the model.
#include <string>

#include "cli/StationConsole.h"
#include "view/FormModel.h"

namespace otp {

class StationView : public FormModel {
public:
    StationView(StationConsole& console, size_t index, std::string writer)
        : console_(console), index_(index), writer_(std::move(writer)) {}

    // What the writer does now ("load", "auto", "PASS", "stopped: ..."), for its live line.
    void SetActivity(const std::string& activity);

    void AppendLine(Control pane, const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskLoadDamaged(const std::string& text) override;
    void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) override;
    void ShowProgress(bool on) override;
    void SetProgressMax(int count) override;
    void SetProgressPosition(int position) override;

private:
    void ShowLive(bool now);

    StationConsole& console_;
    size_t index_;
    std::string writer_;
    std::string activity_;
};

}  // namespace otp
