#include "report/HtmlText.h"

namespace otp {
namespace {

// The length of the UTF-8 character at `i`, 0 when the bytes there are none.
size_t CharacterLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = CharacterLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        const char c = text[i++];
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
    return out;
}

std::string Shortened(const std::string& text, size_t max) {
    size_t at = 0, characters = 0;
    while (at < text.size() && characters < max) {
        const size_t length = CharacterLength(text, at);
        at += length == 0 ? 1 : length;
        ++characters;
    }
    if (at >= text.size()) return text;
    // Room for the ellipsis: one character fewer.
    size_t cut = 0;
    for (size_t k = 0; k + 1 < max && cut < text.size(); ++k) {
        const size_t length = CharacterLength(text, cut);
        cut += length == 0 ? 1 : length;
    }
    return text.substr(0, cut) + "\xE2\x80\xA6";
}

}  // namespace otp
