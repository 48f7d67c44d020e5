#pragma once
// Reads CSV (RFC 4180: quoted fields may hold commas, quotes and line
// breaks) in pieces as they come, and reads around damage: a row the
// caller's check refuses, a stray quote, a quote that never closes. Each row
// is handed on with where it stands in the text and, when damaged, why.
//
// A row that runs over several physical lines (a quoted line break) and
// turns out damaged is taken for a line cut short inside quotes with whole
// records after it: only its first physical line is damaged, and reading
// starts again at the next one. So a log whose writer ended in the middle of
// a quoted field, and which later runs appended to, loses that line only.
//
// Memory: the physical line being read and the lines of the row under way,
// never the text; a row is bounded (kMaxCsvRowBytes), so a quote that does
// not close is given up within that much text, not at the end of a large
// file.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace otp {

// The most text one row may span, line ends included; a longer physical line
// is damaged alone. The records of a log are a few hundred bytes.
constexpr size_t kMaxCsvRowBytes = 1 << 20;

struct CsvRow {
    long long line = 0;               // its first physical line, from 1
    uint64_t offset = 0;              // its first byte in the text
    uint64_t end = 0;                 // the byte after its line end (the text's end when it has none)
    std::string raw;                  // its bytes as they stand, without its line end
    std::vector<std::string> fields;  // the fields read; empty when damaged
    std::string damage;               // why it is no row; empty when it is one
};

class CsvRows {
public:
    // Why `fields` make no good row; empty when they do. Called once for
    // each row whose quotes close, in order, just before it is handed on.
    using Check = std::function<std::string(const std::vector<std::string>& fields)>;
    // Takes each row, good or damaged, in the order of the text.
    using Take = std::function<void(CsvRow& row)>;

    CsvRows(Check check, Take take, size_t maxRowBytes = kMaxCsvRowBytes);

    // The next piece of the text; every row completed by it is handed on.
    void Feed(const char* data, size_t size);
    // The end of the text: a last line without its line end is read, and a
    // row whose quote is still open is damaged.
    void Finish();
    // Whether the text so far ends in the middle of a line (no line end yet).
    bool EndsOpen() const { return !partial_.empty() && !crPending_; }

    // Why a row is damaged, besides the check's reasons.
    static const char* const kUnclosedQuote;  // "an unclosed quote"
    static const char* const kStrayQuote;     // "a stray quote"

private:
    struct Line {
        long long number;
        uint64_t offset;
        uint64_t next;  // the byte after its line end
        std::string text;
        std::string end;  // "\r\n", "\n", "\r", or none at the end of the text
        bool overlong;    // longer than maxRowBytes_: `text` holds its start only
    };

    void EndLine(const char* end);
    void Drain();
    void Read(Line line);
    void EndRow();
    // The row under way is damaged: alone when on one line, else its first
    // line, and its other lines are read again.
    void Damaged(const std::string& why);
    void Hand(CsvRow row);
    void Clear();

    Check check_;
    Take take_;
    size_t maxRowBytes_;
    // The physical line being gathered.
    std::string partial_;
    uint64_t partialOffset_ = 0;
    uint64_t offset_ = 0;  // bytes fed so far
    long long lineCount_ = 0;
    bool crPending_ = false;  // a CR ended the last piece: an LF may follow
    bool overlong_ = false;   // the line being gathered passed maxRowBytes_
    std::deque<Line> queue_;  // whole lines not yet read
    // The row under way.
    std::vector<Line> lines_;
    size_t rowBytes_ = 0;
    std::vector<std::string> fields_;
    std::string field_;
    bool fieldStart_ = true;
    bool quoted_ = false;
    bool quoteSeen_ = false;  // a quote inside a quoted field: its end, or the first of two
    std::string malformed_;
};

}  // namespace otp
