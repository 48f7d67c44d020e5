#include "bench/Plan.h"

namespace otp::bench {

const std::vector<PlanStep>& BenchPlan() {
    // The image loaded first stays in the writer for every later run; verify
    // and read find the IC the step before them programmed; copy needs a
    // master.
    static const std::vector<PlanStep> plan = {
        {"start-up", "blank", {}},
        {"load", "blank", {"load", kRomFile}},
        {"auto", "blank", {"auto"}},
        {"blank", "blank", {"blank"}},
        {"program", "blank", {"program"}},
        {"verify", "", {"verify"}},
        {"read", "", {"read"}},
        {"copy", "programmed", {"copy"}},
        {"upload", "", {"upload"}},
        {"version", "", {"version"}},
        {"update", "", {"--yes", "update"}},
    };
    return plan;
}

}  // namespace otp::bench
