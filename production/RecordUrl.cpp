#include "production/RecordUrl.h"

namespace otp {

bool IsRecordServerUrl(const std::string& source) {
    return source.rfind("postgresql://", 0) == 0 || source.rfind("postgres://", 0) == 0;
}

std::string UrlWithoutPassword(const std::string& url) {
    std::string shown = url;
    const size_t scheme = shown.find("://");
    if (scheme != std::string::npos) {
        const size_t start = scheme + 3;
        // The user part ends at the last '@' before the host's path.
        const size_t end = shown.find_first_of("/?", start);
        const size_t at = shown.rfind('@', end == std::string::npos ? std::string::npos : end);
        const size_t colon = shown.find(':', start);
        if (at != std::string::npos && at >= start && colon != std::string::npos && colon < at)
            shown.replace(colon + 1, at - colon - 1, "***");
    }
    // ...?password=secret&...
    for (size_t p = shown.find("password="); p != std::string::npos; p = shown.find("password=", p + 1)) {
        const size_t value = p + 9;
        const size_t end = shown.find('&', value);
        shown.replace(value, (end == std::string::npos ? shown.size() : end) - value, "***");
    }
    return shown;
}

}  // namespace otp
