#pragma once
// The middle of a handful of measurements.
#include <algorithm>
#include <vector>

namespace otp::bench {

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace otp::bench
