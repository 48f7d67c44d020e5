#pragma once
// The order of a production job: the passed chips it asks for. Each chip
// claims a place before it starts and settles it when it ends (taken for
// good when it passed, given back when not), so that however many writers
// run, no chip is made past the order.
#include <mutex>
#include <string>

namespace otp {

class ProductionOrder {
public:
    explicit ProductionOrder(long quantity) : quantity_(quantity) {}
    virtual ~ProductionOrder() = default;

    enum class Place {
        Taken,     // the chip may start
        Complete,  // the order's chips have passed
        Full,      // its last places are under way: one may come free again
        Unknown,   // it could not be asked (`why`)
    };
    // A place for the next chip of `writer`; `why` says why not.
    virtual Place Claim(const std::string& writer, std::string& why) = 0;
    // The chip of `writer` ended, `passed` or not.
    virtual void Settle(const std::string& writer, bool passed) = 0;
    // The order's passed chips, as last known.
    virtual long Passed() const = 0;

    long Quantity() const { return quantity_; }
    bool Complete() const { return Passed() >= quantity_; }
    // "1234 of 5000".
    std::string Progress() const { return std::to_string(Passed()) + " of " + std::to_string(quantity_); }

private:
    const long quantity_;
};

// An order counted by this program alone: the passed chips earlier runs
// left in the log, and this run's.
class LocalOrder : public ProductionOrder {
public:
    LocalOrder(long quantity, long passed) : ProductionOrder(quantity), passed_(passed) {}
    Place Claim(const std::string& writer, std::string& why) override;
    void Settle(const std::string& writer, bool passed) override;
    long Passed() const override;

private:
    mutable std::mutex mutex_;
    long passed_;
    long claimed_ = 0;
};

// "the order's last places are under way (4998 of 5000 passed)".
std::string LastPlacesTaken(long passed, long quantity);
// "order complete: 5000 of 5000 passed".
std::string OrderCompleteLine(const ProductionOrder& order);

}  // namespace otp
