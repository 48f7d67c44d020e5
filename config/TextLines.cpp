#include "config/TextLines.h"

#include <algorithm>
#include <cstring>

#include "config/FileRead.h"

namespace otp {

std::optional<TextLines> TextLines::Open(const std::string& path, std::string& error) {
    std::string content;
    if (!ReadRegularFile(path, kMaxTextFileBytes, content, error)) return std::nullopt;
    return TextLines(std::move(content));
}

std::optional<TextLines> TextLines::Open(const std::string& path) {
    std::string error;
    return Open(path, error);
}

TextLines::TextLines(std::string content) {
    // An editor that saves as UTF-8 may put a byte-order mark before the
    // first line; it is no part of the text. Elsewhere it stays as it is.
    static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    const size_t start = content.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    // CR LF becomes LF: the text is copied in runs between the CRs dropped.
    text_.reserve(content.size() - start);
    size_t from = start;
    for (size_t cr = content.find("\r\n", from); cr != std::string::npos; cr = content.find("\r\n", from)) {
        text_.append(content, from, cr - from);
        from = cr + 1;
    }
    text_.append(content, from, std::string::npos);
}

std::optional<std::string_view> TextLines::Next() {
    if (pos_ >= text_.size()) return std::nullopt;
    const size_t window = std::min(kMaxLineRead, text_.size() - pos_);
    const void* feed = std::memchr(text_.data() + pos_, '\n', window);
    const size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text_.data()) + 1 : pos_ + window;
    const std::string_view piece(text_.data() + pos_, end - pos_);
    pos_ = end;
    return piece;
}

}  // namespace otp
