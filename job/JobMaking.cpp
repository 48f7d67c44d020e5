#include "job/JobMaking.h"

#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "job/Sha256.h"
#include "romfile/FileReplace.h"

namespace otp {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The job file's name without its folder and ".otpjob".
std::string JobName(const std::string& jobPath) {
    std::string name = NameOf(jobPath);
    const std::string suffix = ".otpjob";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

// "Bank 3" is 3; the searches are "last" and "first".
bool BankWord(const std::string& item, std::string& word) {
    if (item.empty()) word.clear();
    else if (item == "Last used") word = "last";
    else if (item == "1st Un-use") word = "first";
    else if (item.size() == 6 && item.compare(0, 5, "Bank ") == 0 && item[5] >= '0' && item[5] <= '7') word = item.substr(5);
    else return false;
    return true;
}

// A file the operator named, as the working folder finds it.
std::string InWorkingDir(const Context& ctx, const std::string& path) {
    return IsAbsolutePath(path) || ctx.workingDir.empty() ? path : ctx.workingDir + "/" + path;
}

}  // namespace

bool SaveJobFromWriter(const Context& ctx, const JobSelectors& picked, const std::string& jobNamed, long quantity,
                       const std::string& lot, Job& job, std::string& id, std::string& error) {
    const std::string jobPath = InWorkingDir(ctx, jobNamed);
    const auto fail = [&](const std::string& why) {
        error = "cannot save the job " + jobPath + ": " + why;
        return false;
    };
    const std::optional<VerifiedImage>& image = ctx.link.verifiedImage;
    if (!image || image->file.empty())
        return fail("the writer holds no image loaded from a file and verified (load one first)");
    std::string bytes, why;
    const std::string imagePath = InWorkingDir(ctx, image->file);
    if (!ReadRegularFile(imagePath, kMaxTextFileBytes, bytes, why)) return fail("cannot read the image " + imagePath + ": " + why);
    job = Job{};
    job.name = JobName(jobPath);
    job.image = NameOf(image->file);
    job.imageSha256 = Sha256Hex(bytes);
    job.checksum = image->checksum;
    job.body = picked.body;
    job.lock = picked.lock == 1 ? "on" : "off";
    job.rolling = picked.rolling == 1 ? "on" : "off";
    if (!BankWord(picked.bankItem, job.bank)) return fail("the bank selector shows \"" + picked.bankItem + "\"");
    job.firmware = ctx.state.WriterVersion;
    job.quantity = quantity;
    job.lot = lot;

    std::string text;
    if (!JobText(job, text, why)) return fail(why);
    // The image beside the job: there already, or copied, never over another file.
    const std::string beside = FolderOf(jobPath) + "/" + job.image;
    std::string there;
    if (ReadRegularFile(beside, kMaxTextFileBytes, there, why)) {
        if (there != bytes)
            return fail("another file " + beside + " lies beside it, not the image " + imagePath + " the writer holds");
    } else if (!ReplaceFileContents(beside, bytes, why)) {
        return fail("cannot put the image beside it: " + why);
    }
    return WriteJobFile(jobPath, job, id, error);
}

}  // namespace otp
