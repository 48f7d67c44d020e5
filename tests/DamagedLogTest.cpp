// Damaged CSV: the reader that reads around a damaged line, and the
// production log and the report over logs with every kind of damage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "production/CsvRows.h"

using namespace otp;

namespace {

// Each row as "LINE@OFFSET-END:field|field" when good, "LINE@OFFSET-END!why:raw"
// when damaged; the text is fed in pieces of `piece` bytes.
std::vector<std::string> ReadRows(const std::string& text, size_t piece, size_t fields, size_t maxRow = kMaxCsvRowBytes) {
    std::vector<std::string> out;
    const auto check = [&](const std::vector<std::string>& f) {
        return f.size() == fields ? std::string() : std::to_string(f.size()) + " fields";
    };
    const auto take = [&](CsvRow& row) {
        std::string s = std::to_string(row.line) + "@" + std::to_string(row.offset) + "-" + std::to_string(row.end);
        if (!row.damage.empty()) {
            EXPECT_TRUE(row.fields.empty());
            out.push_back(s + "!" + row.damage + ":" + row.raw);
            return;
        }
        EXPECT_EQ(row.raw, text.substr(row.offset, row.raw.size()));
        s += ":";
        for (size_t i = 0; i < row.fields.size(); ++i) s += (i ? "|" : "") + row.fields[i];
        out.push_back(s);
    };
    CsvRows reader(check, take, maxRow);
    for (size_t at = 0; at < text.size(); at += piece) reader.Feed(text.data() + at, std::min(piece, text.size() - at));
    reader.Finish();
    return out;
}

}  // namespace

TEST(CsvRows, ADamagedLineIsReadAroundAndTheRowsAfterItAreRead) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> rows;
        size_t maxRow = kMaxCsvRowBytes;
    };
    const Case cases[] = {
        {"plain rows, every line end", "a,b\r\nc,d\ne,f\rg,h", {"1@0-5:a|b", "2@5-9:c|d", "3@9-13:e|f", "4@13-16:g|h"}},
        {"blank lines are no rows", "a,b\r\n\r\n\nc,d\r\n", {"1@0-5:a|b", "4@8-13:c|d"}},
        {"quoted commas, quotes, line breaks", "\"a,\"\"x\"\"\",\"1\r\n2\"\r\nc,d\r\n",
         {"1@0-18:a,\"x\"|1\r\n2", "3@18-23:c|d"}},
        {"a byte-order mark", "\xEF\xBB\xBF" "a,b\r\n", {"1@0-8:a|b"}},
        {"a row the check refuses is damaged alone", "a,b\r\nc\r\nd,e\r\n",
         {"1@0-5:a|b", "2@5-8!1 fields:c", "3@8-13:d|e"}},
        {"a stray quote", "a,b\"c\r\n\"a\"x,b\r\nd,e\r\n",
         {"1@0-7!a stray quote:a,b\"c", "2@7-15!a stray quote:\"a\"x,b", "3@15-20:d|e"}},
        {"a tear inside quotes, whole rows appended", "a,b\r\nc,\"torn\r\nd,e\r\nf,g\r\n",
         {"1@0-5:a|b", "2@5-14!an unclosed quote:c,\"torn", "3@14-19:d|e", "4@19-24:f|g"}},
        {"a tear that a later quote closes", "a,\"torn\r\nd,e\r\nf,\"g,h\"\r\ni,j\r\n",
         {"1@0-9!an unclosed quote:a,\"torn", "2@9-14:d|e", "3@14-23:f|g,h", "4@23-28:i|j"}},
        {"an unclosed quote at the end", "a,b\r\nc,\"d\r\ne", {"1@0-5:a|b", "2@5-11!an unclosed quote:c,\"d", "3@11-12!1 fields:e"}},
        {"a torn last line", "a,b\r\nc,d\r\ne", {"1@0-5:a|b", "2@5-10:c|d", "3@10-11!1 fields:e"}},
        {"a row grown past the bound", "a,\"x\r\nyy\r\nzz\r\nc,d\r\n",
         {"1@0-6!an unclosed quote:a,\"x", "2@6-10!1 fields:yy", "3@10-14!1 fields:zz", "4@14-19:c|d"}, 12},
        {"a line past the bound", "a,b\r\n0123456789abcdef\r\nc,d\r\n",
         {"1@0-5:a|b", "2@5-23!a line of more than 12 bytes:0123456789ab", "3@23-28:c|d"}, 12},
    };
    for (const Case& c : cases)
        for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, c.text.size() + 1})
            EXPECT_EQ(ReadRows(c.text, piece, 2, c.maxRow), c.rows) << c.name << ", pieces of " << piece;
}

TEST(CsvRows, TellsWhetherTheTextEndsInTheMiddleOfALine) {
    const struct {
        std::string text;
        bool open;
    } cases[] = {{"", false}, {"a,b\r\n", false}, {"a,b\r", false}, {"a,b\n", false}, {"a,b", true}, {"a,\"b\r\n", false}, {"a,\"b", true}};
    for (const auto& c : cases) {
        CsvRows reader([](const std::vector<std::string>&) { return std::string(); }, [](CsvRow&) {});
        reader.Feed(c.text.data(), c.text.size());
        EXPECT_EQ(reader.EndsOpen(), c.open) << c.text;
    }
}
