#pragma once
// What each handler of the main window does. The handlers themselves only
// name themselves and go through TForm1::RunHandler; the work is one call
// into the logic, given once for every handler in HandlerList.h, so that
// connecting an operation to its handler is a one-line change there.
#include <functional>
#include <string>
#include <vector>

#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

using WindowOperation = std::function<Outcome(Context&)>;

// Every handler of the main window, in the order of its events.
const std::vector<std::string>& WindowHandlerNames();

// The operation the named handler runs; empty while it has none.
WindowOperation OperationForHandler(const std::string& handler);

// The name of the handler's operation on the chip in the socket ("auto"),
// which is recorded and counted; nullptr for the other handlers.
const char* ChipOperationOf(const std::string& handler);

// The handlers that have an operation.
std::vector<std::string> HandlersWithOperation();

}  // namespace otp
