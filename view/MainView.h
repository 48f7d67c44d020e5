#pragma once
// Everything the logic asks of the main window. The Qt window, the console
// front end and the tests each implement it; the logic never sees which.
#include <optional>
#include <string>

#include "view/Control.h"

namespace otp {

// The application title: the title of notice boxes.
inline constexpr const char* kApplicationTitle = "Morvik OTP Writer Version 2";
// The caption the window is built with.
inline constexpr const char* kDesignCaption = "Morvik OTP Writer Version 5.00";
// The title of confirmation boxes.
inline constexpr const char* kConfirmTitle = "Confirm";

class MainView {
public:
    virtual ~MainView() = default;

    virtual void ClearPane(Control pane) = 0;
    virtual void AppendLine(Control pane, const std::string& text) = 0;
    virtual void SetFieldText(Control field, const std::string& text) = 0;
    // Edit2, or ComboBox1 (the selected body's name).
    virtual std::string GetFieldText(Control field) = 0;
    virtual void SetCaption(const std::string& text) = 0;
    // Index of the selected item, -1 when none.
    virtual int GetSelection(Control selector) = 0;
    // Selects an item (-1: none) without running the selector's change handler.
    virtual void SetSelection(Control selector, int index) = 0;
    virtual void ClearChoices(Control selector) = 0;
    virtual void AddChoice(Control selector, const std::string& text) = 0;
    // How many rows the selector's open list shows.
    virtual void SetDropDownCount(Control selector, int rows) = 0;
    virtual void SetEnabled(Control control, bool on) = 0;
    virtual void SetMenuVisible(Control menu, bool on) = 0;
    virtual void SetMenuEnabled(Control menu, bool on) = 0;
    virtual void ShowProgress(bool on) = 0;
    virtual void SetProgressMax(int count) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // Modal box, one OK button, no icon, titled kApplicationTitle.
    virtual void ShowNotice(const std::string& text) = 0;
    // Modal box titled kConfirmTitle with Yes and No; true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Load's question whether to take a damaged ROM file anyway: a box like
    // AskYesNo's whose default button is No. Kept apart from the program's
    // own confirmations, so that what answers those never loads such a file.
    virtual bool AskLoadDamaged(const std::string& text) = 0;
    // Modal box with one OK button; withIcon shows the error icon and makes
    // the active window its owner.
    virtual void ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) = 0;
    // The chosen path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseOpenFile() = 0;
    virtual std::optional<std::string> ChooseSaveFile() = 0;
    virtual void CloseWindow() = 0;
};

}  // namespace otp
