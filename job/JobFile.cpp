#include "job/JobFile.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "config/FileRead.h"
#include "job/Sha256.h"
#include "romfile/FileReplace.h"

namespace otp {
namespace {

// A job's fields in the order its file holds them.
struct Field {
    const char* key;
    std::string Job::*text;  // nullptr: quantity
    bool required;
};

const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        {"name", &Job::name, true},         {"image", &Job::image, true},       {"image-sha256", &Job::imageSha256, true},
        {"checksum", &Job::checksum, true}, {"body", &Job::body, true},         {"lock", &Job::lock, true},
        {"rolling", &Job::rolling, true},   {"bank", &Job::bank, false},        {"firmware", &Job::firmware, true},
        {"quantity", nullptr, true},        {"lot", &Job::lot, false},
    };
    return fields;
}

constexpr const char* kNote = "note";
constexpr long kMostChips = 1000000000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& s) {
    size_t from = 0, to = s.size();
    while (from < to && IsBlank(s[from])) ++from;
    while (to > from && IsBlank(s[to - 1])) --to;
    return s.substr(from, to - from);
}

bool IsLowerHex(const std::string& s, size_t digits) {
    return s.size() == digits &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f'); });
}

// Why `value` is no value of `key`; empty when it is one.
std::string Wrong(const std::string& key, const std::string& value) {
    if (key == "image-sha256" && !IsLowerHex(value, 64)) return "is not 64 lower-case hex digits";
    if ((key == "lock" || key == "rolling") && value != "on" && value != "off") return "is neither on nor off";
    if (key == "bank" && !value.empty() && value != "last" && value != "first" &&
        !(value.size() == 1 && value[0] >= '0' && value[0] <= '7'))
        return "is none of 0 to 7, last and first";
    if (key == "image" && value.find_first_of("/\\") != std::string::npos)
        return "names a folder: the image lies beside the job file";
    return {};
}

bool ParseQuantity(const std::string& value, long& quantity) {
    if (value.empty() || value.size() > 10 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
    quantity = std::stol(value);
    return quantity > 0 && quantity <= kMostChips;
}

}  // namespace

bool JobText(const Job& job, std::string& text, std::string& error) {
    text = "# otpwriter job: what a line programs, made once; the image lies beside this file\n";
    const auto add = [&](const std::string& key, const std::string& value) {
        if (value.find_first_of("\r\n") != std::string::npos) {
            error = "the job's " + key + " holds a line break";
            return false;
        }
        if (Trimmed(value) != value) {
            error = "the job's " + key + " begins or ends with a blank";
            return false;
        }
        if (const std::string wrong = Wrong(key, value); !wrong.empty()) {
            error = "the job's " + key + " \"" + value + "\" " + wrong;
            return false;
        }
        text += key + " = " + value + "\n";
        return true;
    };
    for (const Field& f : Fields()) {
        if (!f.text) {
            if (job.quantity <= 0 || job.quantity > kMostChips) {
                error = "the job's quantity " + std::to_string(job.quantity) + " is not between 1 and " +
                        std::to_string(kMostChips);
                return false;
            }
            text += std::string(f.key) + " = " + std::to_string(job.quantity) + "\n";
            continue;
        }
        const std::string& value = job.*(f.text);
        if (value.empty()) {
            if (!f.required) continue;
            error = std::string("the job has no ") + f.key;
            return false;
        }
        if (!add(f.key, value)) return false;
    }
    for (const std::string& note : job.notes)
        if (!add(kNote, note)) return false;
    return true;
}

bool ParseJob(const std::string& text, Job& job, std::string& error) {
    job = Job{};
    std::set<std::string> seen;
    size_t at = 0;
    for (int number = 1; at < text.size(); ++number) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        const size_t equals = trimmed.find('=');
        if (equals == std::string::npos) return fail("\"" + trimmed + "\" is no \"key = value\"");
        const std::string key = Trimmed(trimmed.substr(0, equals));
        const std::string value = Trimmed(trimmed.substr(equals + 1));
        if (key == kNote) {
            job.notes.push_back(value);
            continue;
        }
        const auto field = std::find_if(Fields().begin(), Fields().end(), [&](const Field& f) { return key == f.key; });
        if (field == Fields().end()) return fail("\"" + key + "\" is no key of a job");
        if (!seen.insert(key).second) return fail(key + " is given twice");
        if (!field->text) {
            if (!ParseQuantity(value, job.quantity))
                return fail("the quantity \"" + value + "\" is not a number of chips from 1 to " + std::to_string(kMostChips));
            continue;
        }
        if (const std::string wrong = Wrong(key, value); !wrong.empty()) return fail(key + " \"" + value + "\" " + wrong);
        job.*(field->text) = value;
    }
    for (const Field& f : Fields()) {
        const bool empty = f.text ? (job.*(f.text)).empty() : job.quantity == 0;
        if (f.required && empty) {
            error = std::string("the job has no ") + f.key;
            return false;
        }
    }
    return true;
}

std::string JobId(const std::string& fileBytes) { return Sha256Hex(fileBytes).substr(0, 16); }

bool ReadJobFile(const std::string& path, JobFile& read, std::string& error) {
    std::string bytes, why;
    if (!ReadRegularFile(path, 1024 * 1024, bytes, why)) {
        error = "cannot read the job " + path + ": " + why;
        return false;
    }
    read.path = path;
    read.id = JobId(bytes);
    if (!ParseJob(bytes, read.job, why)) {
        error = "the job " + path + " is damaged: " + why;
        return false;
    }
    return true;
}

bool WriteJobFile(const std::string& path, const Job& job, std::string& id, std::string& error) {
    std::string text, why;
    if (!JobText(job, text, why)) {
        error = "cannot save the job " + path + ": " + why;
        return false;
    }
    if (!ReplaceFileContents(path, text, why)) {
        error = "cannot save the job " + path + ": " + why;
        return false;
    }
    id = JobId(text);
    return true;
}

}  // namespace otp
