#pragma once

#include <atomic>
#include <csignal>

namespace quarry::cli {

// While alive, SIGINT and SIGTERM act as the Stop button: they set `stopFlag` to 1 and the
// scan stops at its next sector. A second signal ends the process as usual.
class StopOnSignals {
public:
    explicit StopOnSignals(std::atomic<int>& stopFlag);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

} // namespace quarry::cli
