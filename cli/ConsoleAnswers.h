#pragma once
// The console answers the program's questions from its options: the line
// that shows a question and its answer, and the option that would have
// answered yes, for the FAIL line of a step that a "no" stopped.
#include <string>

#include "view/FormModel.h"

namespace otp {

// "--yes answers yes", "--load-damaged loads it anyway"; "" for None.
std::string WayOut(FormModel::Question question);

// "Confirm: TEXT -> yes", or "Confirm: TEXT -> no (--yes answers yes)".
std::string AnswerLine(const std::string& text, bool yes, FormModel::Question question);

}  // namespace otp
