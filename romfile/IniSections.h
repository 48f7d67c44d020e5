#pragma once
// The two ways the ROM file operations read Writer.ini again: the body a
// ROM file names, and the option text a saved file begins with.
#include <string>

#include "config/TextLines.h"
#include "config/WriterState.h"

namespace otp {

struct IniBodyMatch {
    bool found = false;
    // Lines with key BODY before the matching one (all of them when none
    // matched), counted from the top of the file, inside the body section
    // or not.
    int position = 0;
};

// The first BODY line naming `name` in its second, third or fourth word.
IniBodyMatch FindIniBody(TextLines& ini, const std::string& name);

// The text of the OPT section that follows the first line whose second word
// is `bodyName`, each rule's text taken when (option byte AND mask) equals
// the value. A rule text "if###disable" leaves out the rules after it while
// it holds; the line holding "OPTION END" ends the section and is always
// taken. A rule naming an option byte beyond the 16 in use never holds.
std::string CopyOptionBlock(TextLines& ini, const std::string& bodyName, const WriterState& s);

}  // namespace otp
