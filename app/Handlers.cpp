#include "app/Handlers.h"

#include <algorithm>

#include "app/HandlerList.h"
#include "maintenance/UpdateWriter.h"
#include "maintenance/WriterVersion.h"
#include "operations/CopyMaster.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "operations/Selectors.h"
#include "operations/TestCode.h"
#include "romfile/LoadRomFile.h"
#include "romfile/SaveRomFile.h"
#include "romfile/UploadRom.h"

namespace otp {
namespace {

// Quit: the window closes, and the program ends with it.
Outcome Quit1Click(Context& ctx) {
    ctx.view.CloseWindow();
    return Outcome::Done;
}

struct HandlerEntry {
    std::string name;
    WindowOperation operation;
    const char* chip;
};

// Handler name -> its operation, in the order of HandlerList.h.
const std::vector<HandlerEntry>& HandlerTable() {
#define OTP_HANDLER_ENTRY(handler, control, signal, operation, chip) {#handler, operation, chip},
    static const std::vector<HandlerEntry> table = {OTP_WINDOW_HANDLERS(OTP_HANDLER_ENTRY)};
#undef OTP_HANDLER_ENTRY
    return table;
}

}  // namespace

const std::vector<std::string>& WindowHandlerNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const HandlerEntry& entry : HandlerTable()) list.push_back(entry.name);
        return list;
    }();
    return names;
}

WindowOperation OperationForHandler(const std::string& handler) {
    const auto& table = HandlerTable();
    auto it = std::find_if(table.begin(), table.end(), [&](const HandlerEntry& e) { return e.name == handler; });
    return it == table.end() ? WindowOperation() : it->operation;
}

const char* ChipOperationOf(const std::string& handler) {
    const auto& table = HandlerTable();
    auto it = std::find_if(table.begin(), table.end(), [&](const HandlerEntry& e) { return e.name == handler; });
    return it == table.end() ? nullptr : it->chip;
}

std::vector<std::string> HandlersWithOperation() {
    std::vector<std::string> names;
    for (const HandlerEntry& entry : HandlerTable())
        if (entry.operation) names.push_back(entry.name);
    return names;
}

}  // namespace otp
