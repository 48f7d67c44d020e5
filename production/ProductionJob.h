#pragma once
// What a production job fixes, as its file, the log and the line's record
// hold it: the image, the settings, the firmware, the order.
#include <string>
#include <vector>

namespace otp {

struct Job {
    std::string name;
    std::string image;        // the image file's name, beside the job file
    std::string imageSha256;  // 64 lower-case hex digits
    std::string checksum;     // the image's checksum as the writer gives it
    std::string body;         // the IC body's name
    std::string lock;         // "on" or "off"
    std::string rolling;      // "on" or "off"
    std::string bank;         // "0" to "7", "last", "first"; empty: the body has no bank to pick
    std::string firmware;     // the writer's version line it must give
    long quantity = 0;        // passed chips the order asks for
    std::string lot;          // may be empty
    std::vector<std::string> notes;
};

// Where a job's order stands in the line's record: the chips it asks for
// and the chips of it that passed, on every station and in every run.
struct OrderCount {
    long quantity = 0;
    long passed = 0;
};

}  // namespace otp
