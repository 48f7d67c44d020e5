#pragma once
// One run of the program: the state, the link and the context the
// operations share. The window and the console front end each own one.
#include <memory>
#include <string>

#include "link/Context.h"

namespace otp {

class Session {
public:
    Session(MainView& view, Pacer& pacer, PortOpener& opener, std::string workingDir);

    WriterState& state() { return *state_; }
    Context& ctx() { return ctx_; }

private:
    std::unique_ptr<WriterState> state_;
    Link link_;
    Context ctx_;
};

}  // namespace otp
