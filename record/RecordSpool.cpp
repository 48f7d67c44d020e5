#include "record/RecordSpool.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <limits>

#include "config/PathLookup.h"
#include "production/CsvRows.h"
#include "production/LogHistory.h"
#include "record/Crc32.h"

namespace otp {
namespace {

constexpr const char* kHeader =
    "# otpwriter record spool, version 2: one record a line, its fields as CSV with line breaks written \\n, "
    "then the CRC-32 of the line's text before it";
// The previous version's: CSV rows without a check, line breaks in quoted fields.
constexpr const char* kOldHeader =
    "record_key,time_epoch,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,"
    "waits,writer,station,lot,operator";
constexpr const char* kSetAsideHeader =
    "# Lines and records taken out of the record spool beside this file: none of them has reached the record "
    "server. Each: when, from where and why, then the line as it was.\n";
// A record's fields; a line of a spool written before records named their
// job has the first 17.
constexpr size_t kFields = 19;
constexpr size_t kFieldsBeforeJobs = 17;

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A field on one line: "\" as "\\", line breaks as "\n" and "\r".
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

bool Unescaped(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        if (text[i] == '\\') out += '\\';
        else if (text[i] == 'n') out += '\n';
        else if (text[i] == 'r') out += '\r';
        else return false;
    }
    return true;
}

std::vector<std::string> Fields(const SpooledRecord& s) {
    const ChipRecord& r = s.record;
    return {s.key,
                                       std::to_string(static_cast<long long>(r.when)),
                                       r.operation,
                                       r.body,
                                       r.romFile,
                                       r.checksum,
                                       r.rollingCode,
                                       VerdictWord(r.verdict),
                                       r.failure,
                                       std::to_string(r.durationMs),
                                       std::to_string(r.chip),
                                       r.run,
                                       r.fastWaits ? "fast" : "fixed",
                                       r.writer,
                                       r.station,
                                       r.lot,
                                       r.operatorName,
                                       r.job,
                                       r.jobId};
}

// The record's line, its line end included.
std::string Line(const SpooledRecord& s) {
    std::string text;
    for (const std::string& field : Fields(s)) text += (text.empty() ? "" : ",") + CsvField(Escaped(field));
    return text + "," + Crc32Hex(text) + "\n";
}

// A whole number in the range of T, as std::to_string writes it.
template <typename T>
bool Whole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end;
}

bool IsKey(const std::string& text) {
    return text.size() == 32 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// The record that `f` (19 fields, as the spool writes them, or the 17 of
// an earlier version) hold; false with `why` when one of them does not read.
bool FromFields(const std::vector<std::string>& f, SpooledRecord& s, std::string& why) {
    if (f.size() != kFields && f.size() != kFieldsBeforeJobs) {
        why = "it has " + Count(f.size(), "field", "fields") + ", not " + std::to_string(kFields);
        return false;
    }
    ChipRecord& r = s.record;
    long long when = 0;
    if (!IsKey(f[0])) why = "its key \"" + f[0] + "\" is not 32 hex digits";
    else if (!Whole(f[1], when) || when < std::numeric_limits<std::time_t>::min() ||
             when > std::numeric_limits<std::time_t>::max())
        why = "its time \"" + f[1] + "\" is not a whole number of seconds";
    else if (!VerdictFromWord(f[7], r.verdict))
        why = "its verdict \"" + f[7] + "\" is none of pass, fail, refused, no writer";
    else if (!Whole(f[9], r.durationMs))
        why = "its duration \"" + f[9] + "\" is not a whole number of milliseconds";
    else if (!Whole(f[10], r.chip))
        why = "its chip number \"" + f[10] + "\" is not a whole number within range";
    else if (f[12] != "fast" && f[12] != "fixed")
        why = "its waits \"" + f[12] + "\" are neither fast nor fixed";
    if (!why.empty()) return false;
    s.key = f[0];
    r.when = static_cast<std::time_t>(when);
    r.operation = f[2];
    r.body = f[3];
    r.romFile = f[4];
    r.checksum = f[5];
    r.rollingCode = f[6];
    r.failure = f[8];
    r.run = f[11];
    r.fastWaits = f[12] == "fast";
    r.writer = f[13];
    r.station = f[14];
    r.lot = f[15];
    r.operatorName = f[16];
    if (f.size() == kFields) {
        r.job = f[17];
        r.jobId = f[18];
    }
    return true;
}

// One line of today's spool, its line end taken off.
bool FromLine(std::string line, SpooledRecord& s, std::string& why) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a line an editor ended in CR LF
    const size_t comma = line.rfind(',');
    if (comma == std::string::npos || line.size() - comma != 9) {
        why = "it does not end in a CRC-32";
        return false;
    }
    const std::string text = line.substr(0, comma);
    std::string crc = line.substr(comma + 1);
    for (char& c : crc)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (crc != Crc32Hex(text)) {
        why = "its CRC-32 does not match its text (the line was changed or damaged)";
        return false;
    }
    CsvReader reader;
    std::vector<std::vector<std::string>> rows;
    reader.Feed(text.data(), text.size(), rows);
    reader.Feed("\n", 1, rows);
    if (reader.EndsOpen()) {
        why = "it holds a quote that is never closed";
        return false;
    }
    if (rows.size() != 1) {
        why = rows.empty() ? "it holds no field" : "it holds a line break";
        return false;
    }
    std::vector<std::string> fields(rows[0].size());
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!Unescaped(rows[0][i], fields[i])) {
            why = "its field " + std::to_string(i + 1) + " has a \\ that stands for nothing";
            return false;
        }
    }
    return FromFields(fields, s, why);
}

struct Damage {
    size_t line;  // counted from 1
    std::string bytes;
    std::string why;
};

// What a spool file holds.
struct Reading {
    bool old = false;  // the previous version's CSV
    std::vector<SpooledRecord> records;
    std::vector<Damage> damaged;
    std::string cutShort;  // a last line without its end
    size_t cutLine = 0;
    size_t wholeEnd = 0;  // where the last whole line ends
};

void ReadToday(const std::string& bytes, size_t from, size_t line, Reading& r) {
    while (from < r.wholeEnd) {
        const size_t end = bytes.find('\n', from);
        const std::string text = bytes.substr(from, end - from);
        if (!text.empty() && text != "\r") {
            SpooledRecord s;
            std::string why;
            if (FromLine(text, s, why)) r.records.push_back(std::move(s));
            else r.damaged.push_back({line, text, why});
        }
        from = end + 1;
        ++line;
    }
}

// The previous version's rows, up to the last whole line; a row of the
// wrong shape, a stray quote or one that never closes is set aside alone.
void ReadOld(const std::string& bytes, Reading& r) {
    bool header = true;
    CsvRows rows(
        [&](const std::vector<std::string>& fields) {
            SpooledRecord s;
            std::string why;
            if (header) header = false;  // the first line, which is the header
            else FromFields(fields, s, why);
            return why;
        },
        [&](CsvRow& row) {
            if (row.line == 1 && row.damage.empty()) return;
            SpooledRecord s;
            std::string why;
            if (row.damage.empty() && FromFields(row.fields, s, why)) r.records.push_back(std::move(s));
            else r.damaged.push_back({static_cast<size_t>(row.line), row.raw, row.damage.empty() ? why : row.damage});
        });
    rows.Feed(bytes.data(), r.wholeEnd);
    rows.Finish();
}

Reading Read(const std::string& bytes) {
    Reading r;
    const size_t lastEnd = bytes.rfind('\n');
    r.wholeEnd = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    const size_t firstEnd = bytes.find('\n');
    std::string first = bytes.substr(0, firstEnd);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    r.old = firstEnd != std::string::npos && first == kOldHeader;
    // Without today's header every line is judged as a record: a damaged
    // header loses none of them.
    if (r.old) ReadOld(bytes, r);
    else if (firstEnd != std::string::npos && first == kHeader) ReadToday(bytes, firstEnd + 1, 2, r);
    else ReadToday(bytes, 0, 1, r);
    if (r.wholeEnd < bytes.size()) {
        r.cutShort = bytes.substr(r.wholeEnd);
        r.cutLine = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    }
    return r;
}

std::string Now() { return IsoLocalTime(std::time(nullptr)); }

// An entry of the set-aside file: what the line was, where from and why.
std::string Entry(const std::string& from, size_t line, const std::string& bytes, const std::string& why) {
    return Now() + " " + from + " line " + std::to_string(line) + ": " + why + "; its " +
           Count(bytes.size(), "byte", "bytes") + " follow:\n" + bytes + "\n\n";
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(FsPath(a), FsPath(b), ec);
}

}  // namespace

bool RecordSpool::Locked(std::string& error) const {
    if (lock_.Held()) return true;
    error = "the record spool " + path_ + " is not open";
    return false;
}

bool RecordSpool::Open(std::string& error, const std::string& legacyPath) {
    records_.clear();
    notices_.clear();
    std::string why;
    switch (lock_.Take(LockPath(), why)) {
    case FileLock::Result::Taken:
        break;
    case FileLock::Result::HeldElsewhere:
        error = "the record spool " + path_ + " is used by another program (it holds " + LockPath() +
                "): one program at a time may keep records in it";
        return false;
    case FileLock::Result::Failed:
        error = "the record spool " + path_ + " cannot be locked (" + LockPath() + "): " + why;
        return false;
    }
    if (!TakeIn(path_, true, error) ||
        (!legacyPath.empty() && !SameFile(legacyPath, path_) && !TakeIn(legacyPath, false, error))) {
        lock_.Release();
        records_.clear();
        return false;
    }
    return true;
}

bool RecordSpool::TakeIn(const std::string& from, bool own, std::string& error) {
    std::string bytes, why;
    bool exists = false;
    if (!ReadWholeFile(from, bytes, exists, why)) {
        error = "the record spool " + from + " cannot be read: " + why;
        return false;
    }
    if (!exists) return true;
    Reading r = Read(bytes);
    // Set aside before they leave the spool: a crash between the two sets
    // them aside twice, and loses nothing.
    std::string entries;
    for (const Damage& d : r.damaged) entries += Entry(from, d.line, d.bytes, d.why);
    if (!r.cutShort.empty())
        entries += Entry(from, r.cutLine, r.cutShort, "cut short (the program ended while writing it)");
    if (!entries.empty() && !AppendWhole(SetAsidePath(), entries, kSetAsideHeader, why)) {
        error = "the damaged lines of the record spool " + from + " cannot be set aside in " + SetAsidePath() + ": " +
                why;
        return false;
    }
    size_t taken = 0;
    if (own) {
        records_ = std::move(r.records);
        if (r.old || !r.damaged.empty()) {
            if (!Rewrite(error)) return false;
        } else if (!r.cutShort.empty() && !CutFileTo(path_, static_cast<long long>(r.wholeEnd), why)) {
            error = "the record spool " + path_ + " ends in a line cut short that cannot be taken off: " + why;
            return false;
        }
    } else {
        // Its records join this spool (once each: a run that ended before
        // the old file went takes it in again), then it goes.
        std::string lines;
        std::vector<SpooledRecord> joining;
        for (SpooledRecord& s : r.records) {
            const bool held = std::any_of(records_.begin(), records_.end(),
                                          [&](const SpooledRecord& h) { return h.key == s.key; });
            if (held) continue;
            lines += Line(s);
            joining.push_back(std::move(s));
        }
        if (!lines.empty() && !AppendWhole(path_, lines, std::string(kHeader) + "\n", why)) {
            error = "the records of " + from + " cannot be taken into the record spool " + path_ + ": " + why;
            return false;
        }
        taken = r.records.size();
        records_.insert(records_.end(), joining.begin(), joining.end());
    }
    if (!r.damaged.empty())
        notices_.push_back("the record spool " + from + " had " +
                           Count(r.damaged.size(), "damaged line", "damaged lines") + ": moved to " + SetAsidePath() +
                           " with why; " + (r.damaged.size() == 1 ? "its record has" : "their records have") +
                           " not reached the record server");
    if (!r.cutShort.empty())
        notices_.push_back("the record spool " + from +
                           " ended in a record cut short (the program ended while writing it); it was taken off: "
                           "its chip was never counted as recorded (its bytes are in " + SetAsidePath() + ")");
    if (!own) {
        std::string notice = "the record spool the previous version kept, " + from + ", was taken into " + path_ +
                             ": " + Count(taken, "record", "records");
        if (!RemoveSynced(from, why))
            notice += "; it cannot be removed (" + why + "): its records are taken in again at the next start, "
                      "and the record server keeps each once";
        notices_.push_back(notice);
    }
    return true;
}

bool RecordSpool::Rewrite(std::string& error) {
    std::string why, text = std::string(kHeader) + "\n";
    for (const SpooledRecord& s : records_) text += Line(s);
    if (records_.empty() ? RemoveSynced(path_, why) : ReplaceWhole(path_, text, why)) return true;
    error = "the record spool " + path_ + " cannot be written anew: " + why;
    return false;
}

bool RecordSpool::Add(const SpooledRecord& record, std::string& error) {
    std::string why;
    if (!Locked(error)) return false;
    if (!AppendWhole(path_, Line(record), std::string(kHeader) + "\n", why)) {
        error = "the record spool " + path_ + " cannot be written: " + why;
        return false;
    }
    records_.push_back(record);
    return true;
}

bool RecordSpool::Clear(std::string& error) {
    std::string why;
    if (!Locked(error)) return false;
    if (!RemoveSynced(path_, why)) {
        error = "the record spool " + path_ + " was sent but cannot be removed: " + why +
                "; it would be sent again (and kept once)";
        return false;
    }
    records_.clear();
    return true;
}

bool RecordSpool::SetAside(const SpooledRecord& record, const std::string& reason, std::string& error) {
    std::string why;
    if (!Locked(error)) return false;
    const std::string entry = Now() + " " + path_ + ": refused by the record server: " + Escaped(reason) +
                              "; the record, as the spool keeps it (once mended, a line the spool takes again):\n" +
                              Line(record) + "\n";
    if (!AppendWhole(SetAsidePath(), entry, kSetAsideHeader, why)) {
        error = "the record " + record.key + " cannot be set aside in " + SetAsidePath() + ": " + why;
        return false;
    }
    std::vector<SpooledRecord> kept;
    for (const SpooledRecord& s : records_)
        if (s.key != record.key) kept.push_back(s);
    if (kept.size() == records_.size()) return true;
    kept.swap(records_);
    if (Rewrite(error)) return true;
    kept.swap(records_);
    return false;
}

}  // namespace otp
