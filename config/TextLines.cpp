#include "config/TextLines.h"

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
    text_.reserve(content.size());
    // An editor that saves as UTF-8 may put a byte-order mark before the
    // first line; it is no part of the text. Elsewhere it stays as it is.
    static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    const size_t start = content.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    for (size_t i = start; i < content.size(); ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
        text_ += content[i];
    }
}

std::optional<std::string> TextLines::Next() {
    if (pos_ >= text_.size()) return std::nullopt;
    size_t end = pos_;
    while (end < text_.size() && end - pos_ < kMaxLineRead) {
        if (text_[end++] == '\n') break;
    }
    std::string piece = text_.substr(pos_, end - pos_);
    pos_ = end;
    return piece;
}

}  // namespace otp
