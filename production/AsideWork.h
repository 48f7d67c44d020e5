#pragma once
// Work that may wait on the network, done on a thread of its own while the
// calling thread sleeps through its pacer: a window's thread keeps painting
// (its pacer runs the window's events) instead of freezing until the record
// server answers.
#include <functional>

#include "link/Pacer.h"

namespace otp {

// Runs `work` on a thread of its own; returns once it has ended, having slept
// through `pacer` meanwhile. What `work` throws is thrown here.
void RunAside(Pacer& pacer, const std::function<void()>& work);

}  // namespace otp
