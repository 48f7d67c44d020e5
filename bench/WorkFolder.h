#pragma once
// The temporary working folder of a benchmark run: the sample Writer.ini,
// the sample image, a firmware file, the emulator's link and the logs.
#include <string>

namespace otp::bench {

class WorkFolder {
public:
    // Fills a new folder under $TMPDIR (or /tmp) from `examplesDir`; check Ok().
    explicit WorkFolder(const std::string& examplesDir);
    // Removes the folder unless Keep() was called.
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    void Keep() { keep_ = true; }

private:
    std::string path_;
    std::string error_;
    bool keep_ = false;
};

}  // namespace otp::bench
