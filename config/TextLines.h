#pragma once
// Line-by-line reading of 8-bit text files the way the configuration and
// image files are read: a UTF-8 byte-order mark at the start of the file is
// skipped, CR LF reads as one line end, and one read takes at most 131
// characters, so a longer line comes in several pieces.
#include <optional>
#include <string>
#include <string_view>

namespace otp {

inline constexpr size_t kMaxLineRead = 131;

class TextLines {
public:
    // Reads the whole file; nothing when it is not a regular file or cannot
    // be read, and then `error` tells why.
    static std::optional<TextLines> Open(const std::string& path, std::string& error);
    static std::optional<TextLines> Open(const std::string& path);
    // Over text already in memory (tests, fuzzing).
    explicit TextLines(std::string content);

    // The next piece, its line feed included when the piece reaches the
    // line end; nothing at the end of the file. The piece is a view of the
    // text held here: it lives as long as this object.
    std::optional<std::string_view> Next();

private:
    std::string text_;
    size_t pos_ = 0;
};

}  // namespace otp
