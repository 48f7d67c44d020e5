#pragma once
// What every operation works with: the state, the window, the pacer and the link.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/WriterState.h"
#include "link/Findings.h"
#include "link/LineModel.h"
#include "link/Pacer.h"
#include "link/SerialPort.h"
#include "view/MainView.h"

namespace otp {

// An image the host has seen the writer hold whole.
struct VerifiedImage {
    // The .rom file it was loaded from; empty when it came from the writer
    // itself (start-up, Upload) or from a master chip (Copy).
    std::string file;
    // The total checksum the host showed for it when it was verified.
    std::string checksum;
    // The body description it was read by: the writer reads its memory by
    // that description's layout and length.
    BodyInfoRow readBy{};
};

// The port side of the state: who opens ports, and the open one (if any).
struct Link {
    explicit Link(PortOpener& o) : opener(o) {}
    PortOpener& opener;
    std::unique_ptr<SerialPort> PortHandle;
    // What the open port still has to send, as the line's speed allows it.
    LineModel line;
    // The last exchange ended without its whole answer (nothing, a part, a
    // flood): the rest may still be on its way and must not be taken as the
    // answer to the next request.
    bool answerIncomplete = false;
    // When the host last found the line with nothing more on it.
    int64_t lastDrainMs = 0;
    // The wait of the last exchange before its drain.
    int64_t lastWaitMs = 0;
    // When the last command byte went out.
    int64_t commandSentMs = 0;
    // The image the writer holds as the host has verified it: read whole at
    // start-up, by Upload or Copy, or downloaded and read back by Load. A
    // failed Load, Copy or firmware update leaves it unknown, and nothing
    // is programmed or verified from it until it is known again. The
    // production log names it for every chip.
    std::optional<VerifiedImage> verifiedImage;
    // The writer's 8 version bytes as last read whole: what a read of 0x0400
    // must bring back to prove that the line is in step again.
    std::vector<uint8_t> versionBytes;
    // Every byte of every answer taken so far: whether the writer said
    // anything at all during an operation.
    int64_t receivedBytes = 0;
    // How many bytes the last drain found, a flood that was thrown away
    // counted whole.
    int64_t lastAnswerBytes = 0;
    // Waits end once the answer they wait for is whole (opt-in): the fixed
    // wait stays the time-out.
    bool fastWaits = false;
    // What a fast wait took off the line before its drain; the drain hands
    // it on first.
    std::vector<uint8_t> early;
    // Bytes of `early` beyond what it keeps (a flood), counted for the drain.
    int64_t earlyDropped = 0;
    // The last open found bytes on the line that no request of this port
    // asked for (a writer still answering a previous run, an adapter's
    // keeping); they were thrown away.
    bool unaskedAtOpen = false;
};

struct Context {
    WriterState& state;
    MainView& view;
    Pacer& pacer;
    Link& link;
    // Where Writer.ini is looked for and relative firmware paths start.
    std::string workingDir;
    // What the operation under way found beyond its pane lines; whoever runs
    // an operation clears it first and reads it afterwards.
    Findings findings{};
};

// Notes a finding of the operation under way.
inline void Diagnose(Context& ctx, const std::string& text) { ctx.findings.Note(text); }

// The text of the refusal when no configured body is selected, or one whose
// Writer.ini row gives no image length.
inline constexpr const char* kBodyNotAvailable = "The body is not available !!!";

// The item selected in ComboBox1 as a row of the per-body tables (BNK_DLY ...
// OFFSET, and BodyInfo row + 1); nothing when no item is selected or it lies
// past the tables. It may lie past BodyCount: a second IC_BODY_START in
// Writer.ini restarts BodyCount but keeps the items and rows of the first
// section, and Load and the image addresses take the row of any item listed.
inline std::optional<int> SelectedTableRow(Context& ctx) {
    const int item = ctx.view.GetSelection(Control::ComboBox1);
    if (item >= 0 && item < kMaxBodies) return item;
    return std::nullopt;
}

// The selected, configured body: the item selected in ComboBox1 when it lies
// below BodyCount (and so inside the tables) and its row gives an image
// length (BodyAvailable); nothing otherwise. The operations on the IC, the
// body change and the firmware update's restore ask this.
inline std::optional<int> SelectedBody(Context& ctx) {
    const std::optional<int> row = SelectedTableRow(ctx);
    if (row && *row < ctx.state.BodyCount && BodyAvailable(ctx.state, *row)) return row;
    return std::nullopt;
}

}  // namespace otp
