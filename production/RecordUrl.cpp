#include "production/RecordUrl.h"

namespace otp {

bool IsRecordServerUrl(const std::string& source) {
    return source.rfind("postgresql://", 0) == 0 || source.rfind("postgres://", 0) == 0;
}

}  // namespace otp
