#pragma once
// One line of the production log: what was done to the chip in the socket,
// with what, and how it ended.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace otp {

enum class Verdict { Pass, Fail, Refused, NoWriter };

// "pass", "fail", "refused", "no writer": the log's and the console's word.
const char* VerdictWord(Verdict v);
// The verdict a word of VerdictWord's names; false for any other word.
bool VerdictFromWord(const std::string& word, Verdict& v);

struct ChipRecord {
    std::time_t when = 0;     // when the operation started
    std::string operation;    // "auto", "blank", ...
    std::string body;         // the selected body's name
    std::string romFile;      // the .rom file the writer's verified image came from; empty when none
    std::string checksum;     // that image's total checksum; empty while no image is verified
    std::string rollingCode;  // the rolling-code words shown, blank-separated; empty when none
    Verdict verdict = Verdict::Pass;
    std::string failure;      // the first line that says what went wrong; empty on a pass
    int64_t durationMs = 0;
    int chip = 0;             // running number of the writer's records (in its log, when there is one)
    std::string run;          // the run the record belongs to (RunId)
    bool fastWaits = false;   // the waits ended once the answer was whole
    std::string writer;       // the port of the writer that did it ("COM2")
    std::string lot;          // the lot the chips belong to, as the operator named it; empty when none
    std::string operatorName; // who ran the station, as named; empty when none
    std::string station;      // the computer that ran the writer (the record server's column; the
                              // CSV log has it as the first word of `run`)
    std::string job;          // the production job's name; empty outside a job
    std::string jobId;        // its id (16 hex digits of its file's SHA-256); empty outside a job
};

// The record as one CSV line (RFC 4180, no line end); the time is local
// ISO 8601 with its offset from UTC. Every text column is SpreadsheetSafe;
// the time, the verdict, the numbers and the waits are the program's own
// words and written as they are.
std::string CsvLine(const ChipRecord& r);
// The first line of a new log. Columns are only ever added at its end, so
// a log begun by an older version takes the new ones on its later lines.
std::string CsvHeader();
// Its column names, in order.
const std::vector<std::string>& CsvHeaderFields();
// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// Free text from outside (a lot, an operator, a file name, a failure line)
// as a log field that a spreadsheet shows as text and never runs as a
// formula: a text that begins with =, +, -, @, a tab or a CR gets a leading
// ', and so does one that begins with ' already. FromSpreadsheetSafe takes
// exactly one leading ' off again, so the pair gives the text back whole.
std::string SpreadsheetSafe(const std::string& text);
std::string FromSpreadsheetSafe(const std::string& field);
// Local ISO 8601 time with offset, e.g. "2026-12-07T14:55:02+01:00".
std::string IsoLocalTime(std::time_t t);
// "line-pc-3 2026-12-07T14:55:02+01:00": the station and the start of a
// run, which tell apart the chip numbers of two programs sharing one log.
std::string RunId(const std::string& host, std::time_t start);
// This computer's name; "unknown host" when the system does not say.
std::string HostName();

}  // namespace otp
