#pragma once
// What the host saw during an operation beyond the lines its panes keep:
// a reply of a length no answer has, a rolling code the writer did not
// report, a chip that reported itself locked. The panes keep the lines the
// operator knows; these findings go to the window's status bar, the console's
// last line and the production log's failure column.
#include <string>
#include <vector>

namespace otp {

struct Findings {
    std::vector<std::string> notes;
    // Program passed with the rolling code on, but the writer sent no code.
    bool rollingCodeNotReported = false;
    // The values shown are what the writer could read, not the chip's own
    // (a chip that reported itself locked or blank): no checksum is the chip's.
    bool notTheChipsValues = false;

    void Clear() { *this = Findings{}; }
    void Note(const std::string& text) {
        for (const std::string& n : notes)
            if (n == text) return;
        notes.push_back(text);
    }
    // The notes in order, "; " between them.
    std::string Text() const {
        std::string text;
        for (const std::string& n : notes) text += (text.empty() ? "" : "; ") + n;
        return text;
    }
};

// "1 byte", "16 bytes".
inline std::string ByteCount(long long n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// A line that says what went wrong, with the findings behind it in brackets:
// "OTP Verify Fail !!! (the writer answered 3000 bytes; no answer is that long)".
inline std::string WithFindings(const std::string& line, const Findings& f) {
    const std::string more = f.Text();
    if (more.empty()) return line;
    if (line.empty()) return more;
    return line + " (" + more + ")";
}

}  // namespace otp
