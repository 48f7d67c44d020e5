#pragma once
// What the operations on the IC share: the selected body's waits, the
// command step (send, announce, wait, drain) and the connect-error lines.
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "link/Context.h"
#include "link/WriterCommands.h"

namespace otp {

// SelectedBody, whose row of the per-body tables (BNK_DLY ... OFFSET) holds
// the waits. When no configured body with an image length is selected there
// is nothing to run: the notice "The body is not available !!!" is shown and
// nothing is returned.
std::optional<int> BodyForWaits(Context& ctx);

// Sends the command byte with its pause, appends `lines` to RichEdit2, waits
// `ticks` x 10 ms with the progress bar (with fast waits, until an answer of
// a `whole` length is in), drains the reply and copies it into
// ReadBackBuffer, one byte per element.
void CommandStep(Context& ctx, Cmd cmd, const std::vector<std::string>& lines, int ticks,
                 std::initializer_list<int> whole = {});

// ReadBackBuffer[i] = ReplyBuffer[i] for every byte of the last drain.
void ReplyToReadBack(WriterState& s);

// No answer to a command but a block read is longer than this (Program's
// rolling code and status).
inline constexpr int kLongestAnswer = 17;
// Notes what was wrong with the shape of the reply just drained, for an
// answer of one of `lengths` bytes (none: any length from 1 to
// kLongestAnswer): no answer at all within the wait, a length no answer
// has, or a length this command's answer does not have.
// True when the reply was longer than any answer.
bool NoteReplyShape(Context& ctx, std::initializer_list<int> lengths = {});

// "  -----> OTP Connect Error !!!" and "  -----> Please check RS232 cable !!!".
void AppendConnectError(Context& ctx);

}  // namespace otp
