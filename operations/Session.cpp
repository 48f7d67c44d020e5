#include "operations/Session.h"

namespace otp {

Session::Session(MainView& view, Pacer& pacer, PortOpener& opener, std::string workingDir)
    : state_(std::make_unique<WriterState>()),
      link_(opener),
      ctx_{*state_, view, pacer, link_, std::move(workingDir), {}} {}

}  // namespace otp
