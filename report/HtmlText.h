#pragma once
// Text of the logs on a page: whatever a body name or a failure text holds,
// it stays text and never becomes markup.
#include <string>

namespace otp {

// `text` as HTML or SVG character data or a quoted attribute's value: & < >
// " ' as references, control characters as blanks, bytes that are no UTF-8
// as U+FFFD (the page is UTF-8; a log written in another encoding still
// gives one).
std::string EscapeHtml(const std::string& text);

// At most `max` characters of UTF-8 `text`, one cut short ending in "…";
// a character is never cut in two.
std::string Shortened(const std::string& text, size_t max);

}  // namespace otp
