#pragma once
// What every operation works with: the state, the window, the pacer and the link.
#include <memory>
#include <string>

#include "config/WriterState.h"
#include "link/LineModel.h"
#include "link/Pacer.h"
#include "link/SerialPort.h"
#include "view/MainView.h"

namespace otp {

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
    // Every byte of every answer taken so far: whether the writer said
    // anything at all during an operation.
    int64_t receivedBytes = 0;
};

struct Context {
    WriterState& state;
    MainView& view;
    Pacer& pacer;
    Link& link;
    // Where Writer.ini is looked for and relative firmware paths start.
    std::string workingDir;
};

}  // namespace otp
