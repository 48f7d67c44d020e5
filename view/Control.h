#pragma once
// Names of the window's controls, as the logic addresses them.
#include <string>

namespace otp {

enum class Control {
    RichEdit1,
    RichEdit2,
    Edit1,
    Edit2,
    Edit3,
    ComboBox1,
    ComboBox3,
    ComboBox4,
    ComboBox5,
    Button1,
    Button2,
    Button3,
    Button4,
    Button5,
    Button6,
    Testcode1,
    Write1,
};

// The control's form name, e.g. "RichEdit2".
const char* ControlName(Control c);

// Dumps and read-back routines select a pane by an integer: 0 is the upper
// pane, anything else the lower one.
inline Control PaneFor(int selector) { return selector == 0 ? Control::RichEdit1 : Control::RichEdit2; }

}  // namespace otp
