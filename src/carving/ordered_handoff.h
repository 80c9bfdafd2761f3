#pragma once

#include "carving/job_pool.h"
#include "carving/scan.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace quarry::carving {

struct HandoffLimits {
    // Jobs under way at once, and the item bytes they hold; past these, items go on without one.
    std::size_t jobs = 16;
    std::size_t jobBytes = kMaxHeldItemBytes;
    // Events handed to the consumer in one go.
    std::size_t sliceEvents = 2000;
    // Events waiting for the consumer; past this the producer waits, so the consumer is never
    // far behind and has no long catching up to do at the end.
    std::size_t outgoing = 4000;
};

// Carries events from a producer thread to a consumer thread in the order produced, while
// some of them are finished by jobs on a pool first: no event is released before the ones
// produced earlier. The producer calls nextSequence, waitForRoom, complete, reserveJob,
// runJob and waitForJobs; the consumer calls takeSlice once told to by the ready handler.
template <typename Event> class OrderedHandoff {
public:
    // Called on any thread, outside the lock, when events wait and the consumer was not told
    // yet; it is told again only after a takeSlice that left nothing behind.
    using ReadyHandler = std::function<void()>;

    OrderedHandoff(std::size_t threads, ReadyHandler ready, HandoffLimits limits = {})
        : ready_(std::move(ready)), limits_(limits), pool_(threads) {}

    std::uint64_t nextSequence() { return nextSequence_++; }

    // Waits while the consumer is far behind.
    void waitForRoom() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return outgoing_.size() < limits_.outgoing; });
    }

    // Event `sequence` is finished.
    void complete(std::uint64_t sequence, Event event) {
        bool tell = false;
        {
            std::lock_guard lock(mutex_);
            finished_.emplace(sequence, std::move(event));
            for (auto it = finished_.begin(); it != finished_.end() && it->first == nextRelease_;
                 it = finished_.erase(it), ++nextRelease_)
                outgoing_.push_back(std::move(it->second));
            if (!outgoing_.empty() && !readyTold_)
                tell = readyTold_ = true;
        }
        if (tell)
            ready_();
    }

    // Jobs at once, at most, below the limit.
    void setJobLimit(std::size_t jobs) {
        std::lock_guard lock(mutex_);
        jobLimit_ = jobs;
    }
    // Takes a job slot for an item holding `bytes`; false when none is free.
    bool reserveJob(std::size_t bytes) {
        std::lock_guard lock(mutex_);
        if (jobs_ >= std::min(limits_.jobs, jobLimit_) || jobBytes_ + bytes > limits_.jobBytes)
            return false;
        ++jobs_;
        jobBytes_ += bytes;
        return true;
    }
    // Runs `make` on the pool in the slot reserved for `bytes`; its event completes `sequence`.
    void runJob(std::uint64_t sequence, std::size_t bytes, std::function<Event()> make) {
        pool_.submit([this, sequence, bytes, make = std::move(make)] {
            complete(sequence, make());
            {
                std::lock_guard lock(mutex_);
                --jobs_;
                jobBytes_ -= bytes;
            }
            changed_.notify_all();
        });
    }
    // Returns once every job has completed its event.
    void waitForJobs() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return jobs_ == 0; });
    }

    // Moves up to a slice of the released events to `out`; true when more are left.
    bool takeSlice(std::vector<Event>& out) {
        bool more = false;
        {
            std::lock_guard lock(mutex_);
            const auto slice = static_cast<std::ptrdiff_t>(std::min(outgoing_.size(), limits_.sliceEvents));
            out.insert(out.end(), std::make_move_iterator(outgoing_.begin()),
                       std::make_move_iterator(outgoing_.begin() + slice));
            outgoing_.erase(outgoing_.begin(), outgoing_.begin() + slice);
            more = !outgoing_.empty();
            readyTold_ = more;
        }
        changed_.notify_all();
        return more;
    }

private:
    const ReadyHandler ready_;
    const HandoffLimits limits_;
    std::uint64_t nextSequence_ = 0; // producer thread only

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Event> finished_; // finished, waiting for the ones before them
    std::uint64_t nextRelease_ = 0;
    std::vector<Event> outgoing_; // released, waiting for the consumer
    bool readyTold_ = false;
    std::size_t jobs_ = 0;
    std::size_t jobBytes_ = 0;
    std::size_t jobLimit_ = SIZE_MAX;

    JobPool pool_; // last, so its jobs have ended before the state they use goes
};

} // namespace quarry::carving
