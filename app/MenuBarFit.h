#pragma once
// Keeps every entry of the menu bar in sight at the window's designed width:
// with a wide default face the entries overflowed into the bar's ">>" button,
// which hid "?" (About) and the menus after the form's own. The space around
// the entries shrinks first, and the bar's face a pixel at a time only when
// that is not enough; the entries' texts stay as they are.
class QMenuBar;

namespace otp {

// Fits the visible entries of `bar` into one row `width` pixels wide; true
// when they fit.
bool FitMenuBarEntries(QMenuBar& bar, int width);

}  // namespace otp
