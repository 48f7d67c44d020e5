#pragma once
#include <string>

#include "config/WriterIni.h"
#include "link/Context.h"

namespace otp {

// How the start-up found the writer.
enum class StartupResult {
    Ready,         // a writer answered with a valid body, and its data was taken over
    NoWriter,      // no port, no answer, an invalid body, or its data fell short
    OtherVersion,  // a writer answered, but of another version than Writer.ini's
    NoIni,         // Writer.ini is missing or cannot be read
};

// How a start-up finds its Writer.ini and its port.
struct StartupPlan {
    // Writer.ini as read once for every writer of a station; none: read here.
    const IniFile* ini = nullptr;
    // The writer's port, named by the operator for a station; empty: the
    // RS232_PORT of Writer.ini.
    std::string port;
};

// What the creation of the main window does before it is first shown: read
// Writer.ini, check the writer on the configured port, take over what it holds.
StartupResult RunStartup(Context& ctx, const StartupPlan& plan = {});

}  // namespace otp
