#include "cli/stop_signals.h"

namespace quarry::cli {
namespace {

std::atomic<std::atomic<int>*> stopTarget{nullptr};
std::atomic<int> signalsSeen{0};

static_assert(std::atomic<std::atomic<int>*>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

extern "C" void requestStop(int signal) {
    if (signalsSeen.fetch_add(1) > 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (auto* target = stopTarget.load())
        target->store(1);
}

} // namespace

StopOnSignals::StopOnSignals(std::atomic<int>& stopFlag) {
    signalsSeen = 0;
    stopTarget = &stopFlag;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

StopOnSignals::~StopOnSignals() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    stopTarget = nullptr;
}

} // namespace quarry::cli
