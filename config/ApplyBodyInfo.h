#pragma once
#include <string>
#include <vector>

#include "config/WriterState.h"
#include "view/MainView.h"

namespace otp {

// Sets the selectors, buttons and test-code menu from BodyInfo row 0 and
// OptionBytes byte 0, and the layout mode from row 0. Selections made here
// run no change handler.
void ApplyBodyInfo(WriterState& state, MainView& view);

// The bank list of a body with a bank choice: two or eight banks, then the
// two search entries.
std::vector<std::string> BankItems(bool twoBanks);

}  // namespace otp
