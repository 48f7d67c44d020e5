#include "app/Handlers.h"

#include <map>

#include "maintenance/UpdateWriter.h"
#include "operations/CopyMaster.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "operations/Selectors.h"
#include "operations/TestCode.h"
#include "maintenance/WriterVersion.h"
#include "romfile/LoadRomFile.h"
#include "romfile/SaveRomFile.h"
#include "romfile/UploadRom.h"

namespace otp {
namespace {

// Handler name -> its operation. One line per operation; a handler that is
// not listed does nothing when its event comes.
const std::map<std::string, WindowOperation>& OperationTable() {
    static const std::map<std::string, WindowOperation> table = {
        {"LoadROMFile1Click", LoadROMFile1Click},
        {"SaveROMFile1Click", SaveROMFile1Click},
        {"UploadtoWriter1Click", UploadtoWriter1Click},
        {"Version1Click", Version1Click},
        {"UpdateWriter1Click", UpdateWriter1Click},
        {"Read1Click", Read1Click},
        {"Write1Click", Write1Click},
        {"Quit1Click", [](Context& ctx) { ctx.view.CloseWindow(); }},
        {"Button1Click", Button1Click},
        {"Button2Click", Button2Click},
        {"Button3Click", Button3Click},
        {"Button4Click", Button4Click},
        {"Button5Click", Button5Click},
        {"Button6Click", Button6Click},
        {"ComboBox1Change", ComboBox1Change},
        {"ComboBox3Change", ComboBox3Change},
        {"ComboBox4Change", ComboBox4Change},
        {"ComboBox5Change", ComboBox5Change},
    };
    return table;
}

}  // namespace

const std::vector<std::string>& WindowHandlerNames() {
    static const std::vector<std::string> names = {
        "LoadROMFile1Click", "SaveROMFile1Click", "UploadtoWriter1Click", "Version1Click",
        "UpdateWriter1Click", "Read1Click",       "Write1Click",          "Quit1Click",
        "Button1Click",      "Button2Click",      "Button3Click",         "Button4Click",
        "Button5Click",      "Button6Click",      "ComboBox1Change",      "ComboBox3Change",
        "ComboBox4Change",   "ComboBox5Change",
    };
    return names;
}

WindowOperation OperationForHandler(const std::string& handler) {
    const auto& table = OperationTable();
    auto it = table.find(handler);
    return it == table.end() ? WindowOperation() : it->second;
}

std::vector<std::string> HandlersWithOperation() {
    std::vector<std::string> names;
    for (const auto& entry : OperationTable()) names.push_back(entry.first);
    return names;
}

}  // namespace otp
