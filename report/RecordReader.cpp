#include "report/RecordReader.h"

namespace otp {

bool IsRecordServerUrl(const std::string& source) {
    return source.rfind("postgresql://", 0) == 0 || source.rfind("postgres://", 0) == 0;
}

std::string UrlWithoutPassword(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const size_t start = scheme + 3;
    // The user part ends at the last '@' before the host's path.
    const size_t end = url.find_first_of("/?", start);
    const size_t at = url.rfind('@', end == std::string::npos ? std::string::npos : end);
    if (at == std::string::npos || at < start) return url;
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

}  // namespace otp
