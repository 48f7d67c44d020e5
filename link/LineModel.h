#pragma once
// When the bytes the host has handed to its port will have left it: at 9600
// baud 8N1 a byte takes 10 bits, 1.04 ms, and bytes written faster than that
// queue up. A real port also reports its queue, but one that cannot (a
// pseudo-terminal, an adapter that buffers) still has this lower bound.
#include <algorithm>
#include <cstdint>

namespace otp {

class LineModel {
public:
    static constexpr int64_t kBitsPerByte = 10;
    static constexpr int64_t kBaud = 9600;

    // A byte was written at `nowUs`.
    void Written(int64_t nowUs) {
        if (nowUs >= FreeUs()) {
            runStartUs_ = nowUs;
            runBytes_ = 0;
        }
        ++runBytes_;
    }
    // When the last byte written has left, rounded up to the microsecond;
    // counted from the start of a back-to-back run, so long runs do not drift.
    int64_t FreeUs() const { return runStartUs_ + (runBytes_ * kBitsPerByte * 1000000 + kBaud - 1) / kBaud; }
    void Reset() { runStartUs_ = runBytes_ = 0; }

private:
    int64_t runStartUs_ = 0;
    int64_t runBytes_ = 0;
};

}  // namespace otp
