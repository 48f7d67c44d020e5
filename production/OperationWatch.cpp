#include "production/OperationWatch.h"

namespace otp {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The arrow lines report results; those that do not say OK or Finish say
// what went wrong.
bool IsFailureLine(const std::string& text) {
    return text.rfind("  -----> ", 0) == 0 && !EndsWith(text, " OK !!!") && !EndsWith(text, " Finish !!!");
}

// Dumps, lengths and sums say what came, never what went wrong: a failure
// that no line names is never told as "Receiver Data Length = 16 bytes".
bool IsDataLine(const std::string& text) {
    if (text.empty() || text.rfind("Receiver Data Length = ", 0) == 0 || text.find(" Checksum =") != std::string::npos)
        return true;
    // A dump row: four hex digits of address, a colon; a mismatch line: four
    // hex digits of address, two dashes.
    return text.size() >= 5 && (text[4] == ':' || text.compare(4, 2, "--") == 0) &&
           text.find_first_not_of("0123456789ABCDEF") == 4;
}

// "  -----> OTP Verify Fail !!!" is told as "OTP Verify Fail !!!".
std::string WithoutArrow(const std::string& text) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    std::string rest = text.substr(start);
    if (rest.rfind("-----> ", 0) == 0) rest.erase(0, 7);
    return rest;
}

}  // namespace

void OperationWatch::Failure(const std::string& text) {
    // A box may say more on the lines after its first (the open error's
    // device and reason); the first line is what went wrong.
    if (firstFailure_.empty()) firstFailure_ = WithoutArrow(text.substr(0, text.find('\n')));
}

std::string OperationWatch::FailureWith(const Findings& found) const {
    if (firstFailure_.empty() && !found.notes.empty()) return found.Text();
    return WithFindings(FirstFailure(), found);
}

void OperationWatch::Begin() {
    firstFailure_.clear();
    lastLine_.clear();
    rollingCodeShown_ = false;
}

void OperationWatch::AppendLine(Control pane, const std::string& text) {
    if (IsFailureLine(text)) Failure(text);
    if (text.rfind("Rolling code is ", 0) == 0) rollingCodeShown_ = true;
    if (!IsDataLine(text)) lastLine_ = WithoutArrow(text);
    ForwardingView::AppendLine(pane, text);
}

void OperationWatch::ShowNotice(const std::string& text) {
    Failure(text);
    ForwardingView::ShowNotice(text);
}

void OperationWatch::ShowErrorBox(const std::string& title, const std::string& text, bool withIcon) {
    Failure(title + ": " + text);
    ForwardingView::ShowErrorBox(title, text, withIcon);
}

}  // namespace otp
