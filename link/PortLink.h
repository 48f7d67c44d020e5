#pragma once
// The lowest layer of the writer link: open and close the port, write the
// pending byte, drain what has arrived into ReplyBuffer.
#include <cstdint>
#include <optional>
#include <string>

#include "link/Context.h"

namespace otp {

// Opens PortName; on failure shows the "ERROR" box and sets PortFailed.
void OpenPort(Context& ctx);
// The text of that box: "RS232 open error!!!" or "RS232 setting error!!!",
// then, when the opener could tell, a line with the device and the reason,
// and for a permission error a line with the fix.
std::string OpenErrorText(OpenResult result, const OpenFailure& failure);
void ClosePort(Context& ctx);
// Writes one byte when a port is open. A port that does not take it in a
// bounded time is given up with the line "  -----> The writer or the line
// stopped taking bytes: check the cable and flow control !!!".
void WritePending(Context& ctx, uint8_t byte);
// Waits until everything written has left the port, so that a timed wait for
// an answer starts when the request is on its way, not while it is queued.
// A port whose bytes stop leaving is given up as a stalled write is.
void WaitUntilSent(Context& ctx);
// Throws away what has arrived and not been drained; every exchange with the
// writer starts with it, so that a reply belongs to the request that asked.
// After an exchange that ended without its whole answer, or when unasked
// bytes are found, it first re-synchronises: it waits until the line has
// been quiet for as long as the writer may still be answering (QuietNeededMs),
// then reads the 8 version bytes and needs exactly those it knows. A late
// answer then cannot arrive during the next request's wait and pass for its
// answer. When two tries fail, the port is given up with the line
// "  -----> The writer's answers are out of step with the host's requests: ...",
// and the operation goes down its no-reply path. True when it found bytes
// that nothing asked for.
bool DiscardArrived(Context& ctx);
// Before the first request to a writer just opened: throws away what is on
// the line, waits until nothing has come for `quietMs` (at most
// kSettleLimitMs beyond), and throws that away too. A writer a previous run
// left answering, or bytes an adapter kept while no program held the port,
// would otherwise be taken for the answer. Returns how many bytes it threw
// away.
int64_t QuietLineBeforeStart(Context& ctx, int64_t quietMs);
// After a wait that ended with no answer: listens up to `listenMs` longer.
// Returns how long after the wait's end the first byte came, or nothing
// when none did; what came is thrown away. Only a start-up or a version
// check about to fail listens, so that it can say a writer was late rather
// than missing.
std::optional<int64_t> LateAnswerAfterMs(Context& ctx, int64_t listenMs);
// How long to listen for an answer that missed its wait.
constexpr int kLateListenMs = 1000;
// The exchange just drained did not get its whole answer.
void AnswerIncomplete(Context& ctx);
// How long the line must stay quiet before the host believes no late answer
// is still on its way: the longest of 1 s, the wait of the last exchange and
// the selected body's operation waits, at most kQuietLimitMs.
int64_t QuietNeededMs(Context& ctx);
constexpr int kQuietMs = 1000;
constexpr int kQuietLimitMs = 30000;
// A line that never goes quiet (a flood) is given this much beyond the quiet needed.
constexpr int kSettleLimitMs = 5000;
// Takes what has arrived into the link's `early` bytes, for a fast wait that
// watches its answer come in; the drain after it hands them on first. Past
// the reply's capacity the bytes are only counted.
void TakeEarly(Context& ctx);
// Moves everything that has arrived (the early bytes first) into ReplyBuffer. More than 8192 bytes
// are thrown away and give an empty reply. No open port: ReplyLength 0.
// An empty reply counts as an incomplete answer.
void DrainReply(Context& ctx);

}  // namespace otp
