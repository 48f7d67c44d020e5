#pragma once
// The operation log: the lower pane (RichEdit2), where every operation says
// what it does and how it went. The shapes of the lines several operations
// share are in view/LogLines.
#include <string>

#include "link/Context.h"

namespace otp {

// Appends `text` to the lower pane as one line.
inline void Line(Context& ctx, const std::string& text) { ctx.view.AppendLine(Control::RichEdit2, text); }

}  // namespace otp
