#include "production/ProductionOrder.h"

namespace otp {

ProductionOrder::Place LocalOrder::Claim(const std::string&, std::string& why) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (passed_ >= Quantity()) return Place::Complete;
    if (passed_ + claimed_ >= Quantity()) {
        why = LastPlacesTaken(passed_, Quantity());
        return Place::Full;
    }
    ++claimed_;
    return Place::Taken;
}

std::string LastPlacesTaken(long passed, long quantity) {
    return "the order's last places are under way (" + std::to_string(passed) + " of " + std::to_string(quantity) +
           " passed)";
}

void LocalOrder::Settle(const std::string&, bool passed) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (claimed_ > 0) --claimed_;
    if (passed) ++passed_;
}

long LocalOrder::Passed() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return passed_;
}

std::string OrderCompleteLine(const ProductionOrder& order) { return "order complete: " + order.Progress() + " passed"; }

}  // namespace otp
