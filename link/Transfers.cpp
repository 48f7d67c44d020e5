#include "link/Transfers.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "link/LineModel.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/WriterCommands.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {

void FoldIntoWords(WriterState& s, int count) {
    count = std::min(count, kReadBackSize / 2);
    for (int i = 0; i < count; ++i)
        s.ReadBackBuffer[static_cast<size_t>(i)] =
            s.ReadBackBuffer[static_cast<size_t>(2 * i)] + 256 * s.ReadBackBuffer[static_cast<size_t>(2 * i + 1)];
}

namespace {

// How long `bytes` bytes take on the line, in whole milliseconds.
int64_t LineTimeMs(int64_t bytes) {
    return (bytes * LineModel::kBitsPerByte * 1000 + LineModel::kBaud - 1) / LineModel::kBaud;
}

// The sleeps of one fast wait, none past its fixed end, with the progress
// bar set from the time that has passed: at every wake, and every
// kProgressMs of a longer sleep, so that the bar steps as a fixed wait's does.
class WaitSleeps {
public:
    static constexpr int kProgressMs = 50;

    WaitSleeps(Context& ctx, int ticks, bool progress)
        : ctx_(ctx), ticks_(ticks), progress_(progress), startMs_(ctx.pacer.NowMs()),
          endMs_(startMs_ + int64_t{ticks} * 10) {
        Step();
    }
    int64_t EndMs() const { return endMs_; }
    int64_t NowMs() const { return ctx_.pacer.NowMs(); }
    // Sleeps until `untilMs` whatever arrives.
    void Until(int64_t untilMs) { Sleep(untilMs, nullptr); }
    // Sleeps until a byte can be taken from `wake` (true) or `untilMs` (false).
    bool OnPort(int64_t untilMs, PortWake& wake) { return Sleep(untilMs, &wake); }

private:
    bool Sleep(int64_t untilMs, PortWake* wake) {
        untilMs = std::min(untilMs, endMs_);
        for (;;) {
            const int64_t now = NowMs();
            if (now >= untilMs) return false;
            const int64_t stretch = progress_ ? std::min(untilMs, now + kProgressMs) : untilMs;
            const bool woke = ctx_.pacer.SleepUntilArrival(stretch, wake);
            Step();
            if (woke) return true;
        }
    }
    void Step() {
        if (!progress_) return;
        const int64_t tick = std::min<int64_t>(ticks_ - 1, (NowMs() - startMs_) / 10);
        if (tick == shown_) return;
        shown_ = tick;
        ctx_.view.SetProgressPosition(static_cast<int>(tick));
    }

    Context& ctx_;
    const int ticks_;
    const bool progress_;
    const int64_t startMs_;
    const int64_t endMs_;
    int64_t shown_ = -1;
};

// A fast wait: sleeps until bytes arrive, then the line time of those still
// missing but the last, so it wakes a few times an answer rather than once a
// byte, and the last byte itself ends the sleep. An answer of a `whole`
// length ends the wait once no byte follows it for kSettleAfterWholeMs; a
// settle that would run past the wait's end is not begun, so the wait takes
// its full time then, as one whose answer is not whole does.
void WholeAnswerWait(Context& ctx, int ticks, std::initializer_list<int> whole, bool progress) {
    WaitSleeps sleeps(ctx, ticks, progress);
    PortWake* wake = ctx.link.PortHandle ? ctx.link.PortHandle->Wake() : nullptr;
    // A port that cannot wake a sleep has its answer drained when the fixed
    // time is out.
    if (!wake) return sleeps.Until(sleeps.EndMs());
    const auto taken = [&ctx] { return static_cast<int64_t>(ctx.link.early.size()) + ctx.link.earlyDropped; };
    int64_t seen = 0;
    while (sleeps.OnPort(sleeps.EndMs(), *wake)) {
        TakeEarly(ctx);
        const int64_t n = taken();
        if (std::find(whole.begin(), whole.end(), n) != whole.end()) {
            const int64_t settleEnd = sleeps.NowMs() + kSettleAfterWholeMs;
            if (settleEnd > sleeps.EndMs()) break;
            // A byte in the settle: the answer is longer, and the wait goes on.
            if (sleeps.OnPort(settleEnd, *wake)) continue;
            TakeEarly(ctx);
            if (taken() == n) return;
            continue;
        }
        int64_t next = INT64_MAX;  // the shortest whole length still ahead
        for (const int w : whole)
            if (w > n) next = std::min<int64_t>(next, w);
        // Longer than any whole length: more bytes cannot make it whole.
        if (next == INT64_MAX) break;
        if (n > seen && next - n > 1) sleeps.Until(sleeps.NowMs() + LineTimeMs(next - n - 1));
        seen = n;
    }
    sleeps.Until(sleeps.EndMs());
}

// The wait of ProgressWait; `progress` shows it on the progress bar.
void TickWait(Context& ctx, int ticks, std::initializer_list<int> whole, bool progress) {
    WaitUntilSent(ctx);
    ctx.link.lastWaitMs = int64_t{std::max(ticks, 0)} * 10;
    if (progress) {
        ctx.view.SetProgressMax(std::max(ticks, 0));
        ctx.view.ShowProgress(true);
    }
    if (ctx.link.fastWaits && whole.size() > 0 && ticks > 0) {
        WholeAnswerWait(ctx, ticks, whole, progress);
    } else {
        for (int i = 0; i < ticks; ++i) {
            if (progress) ctx.view.SetProgressPosition(i);
            ctx.pacer.Sleep(10);
        }
    }
    if (progress) ctx.view.ShowProgress(false);
}

}  // namespace

void ProgressWait(Context& ctx, int ticks, std::initializer_list<int> whole) { TickWait(ctx, ticks, whole, true); }

BlockRead ReadWriterBlock(Context& ctx, uint8_t area, int start, int length) {
    WriterState& s = ctx.state;
    BlockRead result;
    result.requested = std::max(length, 0);
    int a = start;
    int remaining = length;
    while (remaining > 0) {
        const int d = std::min(remaining, kBlockChunk);
        PacedSender out(ctx);
        out.Command(Cmd::BlockRead);
        for (uint8_t b : BlockReadRequest(area, a, d)) out.Send(b, 1);
        const int ticks = (d * 15) / 100 + d / 128 + 1;
        // A short chunk waits 100 ms without the progress bar.
        TickWait(ctx, std::max(ticks, 10), {d}, ticks > 10);
        DrainReply(ctx);
        // A reply longer than asked must still stay inside the buffer.
        const int base = a - start;
        for (int i = 0; i < s.ReplyLength && base + i < kReadBackSize; ++i)
            s.ReadBackBuffer[static_cast<size_t>(base + i)] = s.ReplyBuffer[static_cast<size_t>(i)];
        result.received += s.ReplyLength;
        // A chunk of another length than asked fails the whole read; the
        // chunks after it are not asked for.
        if (s.ReplyLength != d) {
            AnswerIncomplete(ctx);
            result.complete = false;
            break;
        }
        remaining -= d;
        a += d;
    }
    return result;
}

BlockRead ReadWriterArea(Context& ctx, int start, int length, Reads reads, const std::string& what) {
    BlockRead read = ReadWriterBlock(ctx, kArea, start, length);
    if (reads == Reads::Once || !read.complete) return read;
    const auto& got = ctx.state.ReadBackBuffer;
    const auto end = got.begin() + std::clamp(length, 0, kReadBackSize);
    const auto same = [&](const std::vector<int32_t>& kept) { return std::equal(got.begin(), end, kept.begin()); };
    const std::vector<int32_t> first(got.begin(), end);
    read = ReadWriterBlock(ctx, kArea, start, length);
    if (!read.complete || same(first)) return read;
    const std::vector<int32_t> second(got.begin(), end);
    read = ReadWriterBlock(ctx, kArea, start, length);
    if (!read.complete) return read;
    const std::string differed = "two reads of " + what + " at " + FormatHex(start, 4) + " differed";
    if (same(first) || same(second)) {
        Diagnose(ctx, differed + "; a third agreed with one of them");
    } else {
        Diagnose(ctx, differed + " and a third agreed with neither");
        read.agreed = false;
    }
    return read;
}

void WriteBodyInfo(Context& ctx) {
    WriterState& s = ctx.state;
    PacedSender out(ctx);
    out.Command(Cmd::BodyInfoWrite);
    SetLayoutFromBodyInfo(s);
    for (int i = 0; i < kBodyInfoWireBytes; ++i) out.Send(s.BodyInfo[0][static_cast<size_t>(i)], 1);
    ctx.pacer.Sleep(100);
}

BlockRead ReadBodyInfo(Context& ctx, int mode, Reads reads) {
    WriterState& s = ctx.state;
    const BlockRead read = ReadWriterArea(ctx, kAddrBodyInfo, kBodyInfoWireBytes, reads, "the writer's body description");
    if (!read.agreed) return read;
    // A confirmed description is taken whole or not at all: the bytes of a
    // short answer may stand in other places than the writer keeps them.
    if (reads == Reads::Once || read.complete) {
        for (int i = 0; i < s.ReplyLength && i < kBodyInfoRowBytes; ++i)
            s.BodyInfo[0][static_cast<size_t>(i)] = static_cast<uint8_t>(s.ReadBackBuffer[static_cast<size_t>(i)]);
        // A writer that now describes its memory by another layout or length
        // (a byte of a change lost on the line, say) no longer holds the image
        // the host verified, as the host reads it.
        const std::optional<VerifiedImage>& image = ctx.link.verifiedImage;
        if (image && !SameImageShape(image->readBy, s.BodyInfo[0])) ctx.link.verifiedImage.reset();
    }
    if (mode == 0) return read;
    const int pane = mode == 1 ? 0 : 1;
    DumpValues(ctx.view, s.ReadBackBuffer.data(), s.ReplyLength, 16, 2, 0, pane);
    ctx.view.AppendLine(PaneFor(pane), ReplyLengthLine(s.ReplyLength));
    return read;
}

BodyBits HostSetBits() {
    BodyBits bits;
    bits.fill(0xFF);
    bits[kBodyChecksumByte] = bits[kBodyChecksumByte + 1] = 0x00;
    bits[kBodyFlagsByte] = static_cast<uint8_t>(~(kFlagBankSearch | kFlagSearchFirstUnused));
    bits[kBodyBankByte] = static_cast<uint8_t>(~kBankBits);
    return bits;
}

BodyBits OnlyBits(size_t index, uint8_t bits) {
    BodyBits only{};
    only[index] = bits;
    return only;
}

bool BodyInfoHeldAsSent(Context& ctx, const BodyInfoRow& sent, const BodyBits& judged) {
    const BodyInfoRow& held = ctx.state.BodyInfo[0];
    bool same = true;
    for (int i = 0; i < kBodyInfoWireBytes; ++i) {
        const size_t k = static_cast<size_t>(i);
        if (((held[k] ^ sent[k]) & judged[k]) == 0) continue;
        same = false;
        Line(ctx, MismatchLine(i, sent[k], held[k], 2));
    }
    return same;
}

void WriteOptionBytes(Context& ctx, int n) {
    WriterState& s = ctx.state;
    PacedSender out(ctx);
    out.Command(Cmd::OptionWrite);
    n = std::clamp(n, 0, kOptionByteCount);
    for (int i = 0; i < n; ++i) out.Send(s.OptionBytes[static_cast<size_t>(i)], 1);
    ctx.pacer.Sleep(50);
}

BlockRead ReadOptionBytes(Context& ctx, int pane, bool compare, Reads reads) {
    WriterState& s = ctx.state;
    const BlockRead read = ReadWriterArea(ctx, kAddrOptions, kOptionWireBytes, reads, "the writer's option bytes");
    if (!read.agreed) return read;
    // The writer answers 16 bytes; more must not run past the option bytes.
    const int n = std::min(s.ReplyLength, kOptionByteCount);
    bool differs = false;
    if (compare) {
        for (int i = 0; i < n; ++i) {
            const int got = s.ReadBackBuffer[static_cast<size_t>(i)];
            const int want = s.OptionBytes[static_cast<size_t>(i)];
            if (got == want) continue;
            differs = true;
            Line(ctx, MismatchLine(i, want, got, 2));
        }
    } else {
        for (int i = 0; i < n; ++i)
            s.OptionBytes[static_cast<size_t>(i)] = static_cast<uint8_t>(s.ReadBackBuffer[static_cast<size_t>(i)]);
    }
    if (!differs) DumpValues(ctx.view, s.ReadBackBuffer.data(), s.ReplyLength, 16, 2, 0, pane);
    ctx.view.AppendLine(PaneFor(pane), ReplyLengthLine(s.ReplyLength));
    OptionChecksum(s, 16);
    ctx.view.AppendLine(PaneFor(pane), OptionChecksumLine(s.OptionChecksum));
    return read;
}

void StreamRomImage(Context& ctx, int n) {
    WriterState& s = ctx.state;
    PacedSender out(ctx);
    out.Command(Cmd::ImageStream);
    ctx.view.SetProgressMax(n);
    ctx.view.ShowProgress(true);
    for (int i = 0; i < n; ++i) {
        const int32_t value = s.RomImage[static_cast<size_t>(i)];
        out.Send(static_cast<uint8_t>(value & 0xFF), 1);
        if (s.ValueDigits == 4) out.Send(static_cast<uint8_t>((value >> 8) & 0xFF), 0);
        ctx.view.SetProgressPosition(i);
    }
    // The writer takes the stream at line speed, which is slower than the
    // pauses: its closing wait starts when the last byte has left.
    WaitUntilSent(ctx);
    ctx.pacer.Sleep(n / 4);
}

int SelectedBodyOffset(Context& ctx) {
    const std::optional<int> row = SelectedTableRow(ctx);
    return row ? ctx.state.OFFSET[static_cast<size_t>(*row)] : 0;
}

void ShowTotalChecksum(Context& ctx) { ctx.view.SetFieldText(Control::Edit1, FormatHex(TotalChecksum(ctx.state), 4)); }

void NoteImageVerified(Context& ctx, const std::string& file) {
    ctx.link.verifiedImage = VerifiedImage{file, FormatHex(TotalChecksum(ctx.state), 4), ctx.state.BodyInfo[0]};
}

BlockRead ReadObjectBack(Context& ctx, int pane, bool compare, Reads reads) {
    WriterState& s = ctx.state;
    const int count = BodyImageCount(s);
    const int offset = SelectedBodyOffset(ctx);
    const int bytesPerValue = s.ValueDigits / 2;
    const bool wordMode = s.ValueDigits == 4;
    const BlockRead read = ReadWriterArea(ctx, kAddrImage, bytesPerValue * count, reads, "the writer's image");
    if (!read.agreed) return read;
    if (wordMode) FoldIntoWords(s, count);
    if (!compare) {
        std::copy_n(s.ReadBackBuffer.begin(), count, s.RomImage.begin());
        DumpValues(ctx.view, s.RomImage.data(), count, s.RowWidth, s.ValueDigits, offset, pane);
    } else {
        // Only values that came back are compared; a read that fell short
        // differs in itself.
        const int arrived = read.complete ? count : std::min(count, read.received / std::max(bytesPerValue, 1));
        bool differs = !read.complete;
        for (int i = 0; i < arrived; ++i) {
            const int got = s.ReadBackBuffer[static_cast<size_t>(i)];
            const int want = s.RomImage[static_cast<size_t>(i)];
            if (got == want) continue;
            differs = true;
            ctx.view.AppendLine(PaneFor(pane), MismatchLine(wordMode ? i : offset + i, want, got, s.ValueDigits));
        }
        if (!differs) {
            DumpValues(ctx.view, s.ReadBackBuffer.data(), count, s.RowWidth, s.ValueDigits, offset, pane);
        } else {
            ctx.view.ShowErrorBox("Download error", "Please check download code & read back code", true);
        }
    }
    ctx.view.AppendLine(PaneFor(pane), ReplyLengthLine(bytesPerValue * count));
    ObjectChecksum(s, count);
    ctx.view.AppendLine(PaneFor(pane), ObjectChecksumLine(s.ObjectChecksum));
    ShowTotalChecksum(ctx);
    return read;
}

void NoteShortAnswer(Context& ctx, const std::string& what, int received, int requested) {
    if (received == requested) return;
    if (received > 0) {
        Diagnose(ctx, "the writer answered " + ByteCount(received) + " where " + std::to_string(requested) + " were asked");
        return;
    }
    if (!ctx.link.PortHandle) return;  // given up: a finding already says why
    if (const std::optional<int64_t> late = LateAnswerAfterMs(ctx, kLateListenMs))
        Diagnose(ctx, "the " + what + " answer came " + std::to_string(*late) + " ms after the wait");
    else
        Diagnose(ctx, "no " + what + " answer within " + std::to_string(ctx.pacer.NowMs() - ctx.link.commandSentMs) +
                          " ms");
}

}  // namespace otp
