#pragma once
// The window's pacer: a pause blocks the handler that asked for it, but the
// window goes on painting, in slices of at most kSliceMs, while the input
// guard keeps the operator's input away from it.
#include <chrono>
#include <cstdint>

#include "link/Pacer.h"

namespace otp {

class InputGuard;

class WindowPacer : public Pacer {
public:
    static constexpr int kSliceMs = 10;

    explicit WindowPacer(InputGuard& guard);

    void Sleep(int ms) override;
    int64_t NowMs() const override;

private:
    InputGuard& guard_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace otp
