#include "view/Control.h"

namespace otp {

const char* ControlName(Control c) {
    switch (c) {
        case Control::RichEdit1: return "RichEdit1";
        case Control::RichEdit2: return "RichEdit2";
        case Control::Edit1: return "Edit1";
        case Control::Edit2: return "Edit2";
        case Control::Edit3: return "Edit3";
        case Control::ComboBox1: return "ComboBox1";
        case Control::ComboBox3: return "ComboBox3";
        case Control::ComboBox4: return "ComboBox4";
        case Control::ComboBox5: return "ComboBox5";
        case Control::Button1: return "Button1";
        case Control::Button2: return "Button2";
        case Control::Button3: return "Button3";
        case Control::Button4: return "Button4";
        case Control::Button5: return "Button5";
        case Control::Button6: return "Button6";
        case Control::Testcode1: return "Testcode1";
        case Control::Write1: return "Write1";
    }
    return "?";
}

}  // namespace otp
