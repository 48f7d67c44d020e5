#pragma once
// Block reads of writer memory and the transfers of body description,
// option bytes and image, with their read-back logs.
#include <array>
#include <cstddef>
#include <string>

#include "link/Context.h"

namespace otp {

// What a block read brought: every chunk whole, or where it fell short.
struct BlockRead {
    int requested = 0;
    int received = 0;  // bytes of all chunks taken, a longer chunk counted whole
    bool complete = true;
    // A confirmed read: no two reads of the area agreed.
    bool agreed = true;
    // Every chunk whole and, when confirmed, two reads agreeing.
    bool Taken() const { return complete && agreed; }
};

// How a transfer reads writer memory. The line has no parity, so a byte
// changed on the way arrives as a good one: data the host takes over for
// good (Upload, Copy) is read twice, and a third time when the two differ,
// and is taken only when two reads agree.
enum class Reads { Once, Confirmed };

// Reads `length` bytes from writer memory in requests of at most 4096 bytes
// into ReadBackBuffer from entry 0; long requests wait with the progress bar.
// A chunk answered with another length than asked ends the read there.
BlockRead ReadWriterBlock(Context& ctx, uint8_t area, int start, int length);
// ReadWriterBlock of area 1, read as `reads` says. ReadBackBuffer ends
// holding the read that was taken. When the reads differ, a finding names
// `what` and its address ("two reads of the writer's image at 4000
// differed ...").
BlockRead ReadWriterArea(Context& ctx, int start, int length, Reads reads, const std::string& what);
// A block read that did not come whole, told as a finding of what the host
// saw (the port must still be open): "the version answer came 400 ms after
// the wait", "no version answer within 1100 ms", or "the writer answered 3
// bytes where 8 were asked". The line a caller shows for it may blame
// something else: a missing answer read as another version.
void NoteShortAnswer(Context& ctx, const std::string& what, int received, int requested);

// WordMode: ReadBackBuffer entries 0..count-1 become the words of the byte
// pairs read from entry 0 on, low byte first.
void FoldIntoWords(WriterState& s, int count);

// Waits `ticks` steps of 10 ms with the progress bar: maximum `ticks`, the
// panel shown, the position stepped from 0 to ticks - 1, the panel hidden.
// With fast waits on, it ends as soon as the answer that arrived has one of
// the `whole` lengths and no byte follows it for kSettleAfterWholeMs; with
// no `whole` length it always waits its full time.
void ProgressWait(Context& ctx, int ticks, std::initializer_list<int> whole = {});
// How long a fast wait watches the line after an answer of a whole length:
// ten byte times at 9600 baud and more, so that a longer answer is seen
// as longer.
constexpr int kSettleAfterWholeMs = 20;

void WriteBodyInfo(Context& ctx);
// mode 0 writes nothing, 1 to the upper pane, 2 to the lower.
// A read whose reads did not agree takes and shows nothing.
BlockRead ReadBodyInfo(Context& ctx, int mode, Reads reads = Reads::Once);
// Which bits of the 16 body-description bytes a check judges.
using BodyBits = std::array<uint8_t, kBodyInfoWireBytes>;
// Every bit the host decides when it sends a description of its own (Load,
// the body change, the firmware update's restore): all but what the writer
// keeps itself, its checksum in bytes 2-3 and the bank bits a search may
// change (byte 4 bits 3-2, byte 13 bits 7-5).
BodyBits HostSetBits();
// Only `bits` of byte `index`: the bit an operator's pick changed.
BodyBits OnlyBits(size_t index, uint8_t bits);
// After WriteBodyInfo and a read-back: whether the writer holds `sent` in
// every judged bit. Each byte that differs there is listed in the lower
// pane, as option differences are.
bool BodyInfoHeldAsSent(Context& ctx, const BodyInfoRow& sent, const BodyBits& judged);
void WriteOptionBytes(Context& ctx, int n);
// pane 0 is the upper pane, anything else the lower.
BlockRead ReadOptionBytes(Context& ctx, int pane, bool compare, Reads reads = Reads::Once);
// Streams RomImage values 0..n-1; n is at most kRomImageSize, as
// ObjectLength always is.
void StreamRomImage(Context& ctx, int n);
BlockRead ReadObjectBack(Context& ctx, int pane, bool compare, Reads reads = Reads::Once);

// The address shown for the first image entry of the body selected in ComboBox1.
int SelectedBodyOffset(Context& ctx);
// Edit1 shows the TotalChecksum.
void ShowTotalChecksum(Context& ctx);
// The writer holds the host's image, as verified just now: remembered with
// its total checksum and the file it came from (empty: none).
void NoteImageVerified(Context& ctx, const std::string& file);

}  // namespace otp
