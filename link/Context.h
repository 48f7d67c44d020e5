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
