#pragma once
// What one writer is reached through: its port's opener and its own clock.
#include <functional>
#include <memory>

#include "link/Pacer.h"
#include "link/SerialPort.h"

namespace otp {

struct WriterLine {
    std::unique_ptr<PortOpener> opener;
    std::unique_ptr<Pacer> pacer;
    // Puts a fresh blank chip into its socket; empty when the operator does it.
    std::function<void()> freshChip;
};

}  // namespace otp
