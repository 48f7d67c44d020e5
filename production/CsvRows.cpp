#include "production/CsvRows.h"

#include <utility>

namespace otp {

const char* const CsvRows::kUnclosedQuote = "an unclosed quote";
const char* const CsvRows::kStrayQuote = "a stray quote";

CsvRows::CsvRows(Check check, Take take, size_t maxRowBytes)
    : check_(std::move(check)), take_(std::move(take)), maxRowBytes_(maxRowBytes) {}

void CsvRows::Feed(const char* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (crPending_) {
            crPending_ = false;
            if (data[i] == '\n') {
                ++i;
                ++offset_;
                EndLine("\r\n");
                continue;
            }
            EndLine("\r");
        }
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            ++i;
            ++offset_;
            if (c == '\r') crPending_ = true;
            else EndLine("\n");
            continue;
        }
        size_t run = i;
        while (run < size && data[run] != '\r' && data[run] != '\n') ++run;
        const size_t n = run - i;
        const size_t room = maxRowBytes_ > partial_.size() ? maxRowBytes_ - partial_.size() : 0;
        partial_.append(data + i, n < room ? n : room);
        if (n > room) overlong_ = true;
        offset_ += n;
        i = run;
    }
    Drain();
}

void CsvRows::Finish() {
    if (crPending_) {
        crPending_ = false;
        EndLine("\r");
    } else if (!partial_.empty() || overlong_) {
        EndLine("");
    }
    Drain();
    // A quote still open at the end of the text.
    while (!lines_.empty()) {
        Damaged(kUnclosedQuote);
        Drain();
    }
}

void CsvRows::EndLine(const char* end) {
    Line line{++lineCount_, partialOffset_, offset_, std::move(partial_), end, overlong_};
    partial_.clear();
    overlong_ = false;
    partialOffset_ = offset_;
    queue_.push_back(std::move(line));
}

void CsvRows::Drain() {
    while (!queue_.empty()) {
        Line line = std::move(queue_.front());
        queue_.pop_front();
        Read(std::move(line));
    }
}

void CsvRows::Read(Line line) {
    const size_t bytes = line.text.size() + line.end.size();
    // A row may not grow past the bound: its quote is taken for unclosed.
    if (!lines_.empty() && (line.overlong || rowBytes_ + bytes > maxRowBytes_)) {
        queue_.push_front(std::move(line));
        Damaged(kUnclosedQuote);
        return;
    }
    if (line.overlong) {
        Hand(CsvRow{line.number, line.offset, line.next, std::move(line.text), {},
                    "a line of more than " + std::to_string(maxRowBytes_) + " bytes"});
        return;
    }
    // A line with nothing on it is no record.
    if (lines_.empty() && line.text.empty()) return;
    rowBytes_ += bytes;
    lines_.push_back(std::move(line));
    const Line& at = lines_.back();
    // A spreadsheet may save the text with a byte-order mark.
    const size_t from = at.number == 1 && at.text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (size_t i = from; i < at.text.size() && malformed_.empty(); ++i) {
        const char c = at.text[i];
        if (quoted_) {
            if (!quoteSeen_) {
                if (c == '"') quoteSeen_ = true;
                else field_ += c;
                continue;
            }
            quoteSeen_ = false;
            if (c == '"') {
                field_ += '"';
                continue;
            }
            quoted_ = false;  // that quote ended the field: only its comma may follow
            if (c != ',') {
                malformed_ = kStrayQuote;
                continue;
            }
        }
        if (c == ',') {
            fields_.push_back(std::move(field_));
            field_.clear();
            fieldStart_ = true;
        } else if (c == '"') {
            if (fieldStart_) quoted_ = true;
            else malformed_ = kStrayQuote;
            fieldStart_ = false;
        } else {
            field_ += c;
            fieldStart_ = false;
        }
    }
    if (!malformed_.empty()) {
        Damaged(lines_.size() == 1 ? malformed_ : std::string(kUnclosedQuote));
        return;
    }
    if (quoted_ && quoteSeen_) quoted_ = quoteSeen_ = false;  // the quote closed at the line end
    if (quoted_) {
        field_ += at.end;  // a line break inside the field (none yet at the end of the text)
        return;
    }
    EndRow();
}

void CsvRows::EndRow() {
    fields_.push_back(std::move(field_));
    field_.clear();
    const std::string why = check_(fields_);
    if (!why.empty()) {
        Damaged(lines_.size() == 1 ? why : std::string(kUnclosedQuote));
        return;
    }
    CsvRow row;
    row.line = lines_.front().number;
    row.offset = lines_.front().offset;
    for (size_t k = 0; k < lines_.size(); ++k) {
        row.raw += lines_[k].text;
        if (k + 1 < lines_.size()) row.raw += lines_[k].end;
    }
    row.end = lines_.back().next;
    row.fields = std::move(fields_);
    Clear();
    Hand(std::move(row));
}

void CsvRows::Damaged(const std::string& why) {
    Line first = std::move(lines_.front());
    for (size_t k = lines_.size(); k-- > 1;) queue_.push_front(std::move(lines_[k]));
    Clear();
    Hand(CsvRow{first.number, first.offset, first.next, std::move(first.text), {}, why});
}

void CsvRows::Hand(CsvRow row) { take_(row); }

void CsvRows::Clear() {
    lines_.clear();
    rowBytes_ = 0;
    fields_.clear();
    field_.clear();
    fieldStart_ = true;
    quoted_ = quoteSeen_ = false;
    malformed_.clear();
}

}  // namespace otp
