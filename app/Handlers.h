#pragma once
// What each handler of the main window does. The handlers themselves only
// name themselves and go through TForm1::RunHandler; the work is one call
// into the logic, given once for every handler in HandlerList.h, so that
// connecting an operation to its handler is a one-line change there.
#include <functional>
#include <string>
#include <vector>

#include "link/Context.h"

namespace otp {

using WindowOperation = std::function<void(Context&)>;

// Every handler of the main window, in the order of its events.
const std::vector<std::string>& WindowHandlerNames();

// The operation the named handler runs; empty while it has none.
WindowOperation OperationForHandler(const std::string& handler);

// The handlers that have an operation.
std::vector<std::string> HandlersWithOperation();

}  // namespace otp
