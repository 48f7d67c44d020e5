#pragma once
// The console front end's command line: its options and its steps.
#include <string>
#include <vector>

#include "cli/StepRunner.h"

namespace otp {

struct CliOptions {
    bool help = false;
    bool version = false;
    bool trace = false;
    bool yes = false;
    bool loadDamaged = false;
    bool demo = false;
    bool keepGoing = false;
    bool fast = false;
    std::string log;
    std::string lot;       // --lot: every record names it
    std::string operatorName;  // --operator
    std::string record;    // --record: the line's record server (a libpq URL)
    std::string station;   // --station: the name the records give this computer
    int maxFails = 0;
    long quantity = 0;     // --quantity: the order of a job that job-save makes
    std::string job;       // --job: the production job that fixes the image and the settings
    // --writers: the ports of a station's writers, in the order named; empty:
    // the one writer of Writer.ini's RS232_PORT.
    std::vector<std::string> writers;
    std::vector<StepRequest> steps;      // before "loop", or all without it
    std::vector<StepRequest> chipSteps;  // after "loop"
    bool loop = false;
};

// Empty when the arguments are good, else the complaint.
std::string ParseArgs(const std::vector<std::string>& args, CliOptions& o);

}  // namespace otp
