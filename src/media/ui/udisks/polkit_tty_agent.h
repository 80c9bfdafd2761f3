#pragma once

#include <mutex>
#include <sys/types.h>

namespace quarry::udisks {

// polkit's text agent (pkttyagent) for this process, so a password can be asked in the terminal
// when no desktop agent would ask. Started at the first request, only on a terminal; stopped
// with the object.
class PolkitTtyAgent {
public:
    PolkitTtyAgent() = default;
    PolkitTtyAgent(const PolkitTtyAgent&) = delete;
    PolkitTtyAgent& operator=(const PolkitTtyAgent&) = delete;
    ~PolkitTtyAgent();

    // Returns once the agent has registered (or failed to); callable from any thread.
    void ensureStarted();

private:
    std::once_flag started_;
    pid_t agent_ = -1;
};

} // namespace quarry::udisks
