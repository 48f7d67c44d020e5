#pragma once
// A loaded machine on demand: busy processes, each a tight loop at the
// priority of whoever starts them, so that tests with real-time budgets
// meet the scheduling delays of a busy machine.
#include <sys/types.h>

#include <vector>

namespace otp::test {

class BusyLoad {
public:
    // Starts `perCore` busy processes for every online core. Each ends by
    // itself after `limitSeconds`, and at once when its starter dies, so no
    // loop outlives a crashed or killed test.
    BusyLoad(int perCore, unsigned limitSeconds);
    ~BusyLoad() { Stop(); }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

    // Kills and reaps them all.
    void Stop();
    // How many were started; 0 after Stop.
    size_t Count() const { return pids_.size(); }

private:
    std::vector<pid_t> pids_;
};

// Online cores, at least 1.
int OnlineCores();

// Runs every thread the process `pid` has so far (and so those they start)
// at nice -10 where the system lets the test (root), ahead of a BusyLoad:
// an emulated writer box stands for hardware with a CPU of its own, and a
// line's host PC serves its writers alone; a writer drops a command whose
// next byte is 50 ms late, which a machine loaded on purpose must not cause.
// Elsewhere nothing changes.
void Favour(pid_t pid);

}  // namespace otp::test
