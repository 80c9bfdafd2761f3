#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quarry::carving {

// A few threads that run submitted jobs; a thread is started when a job finds none idle.
class JobPool {
public:
    explicit JobPool(std::size_t maxThreads);
    // Runs every job submitted so far, then ends the threads.
    ~JobPool();
    JobPool(const JobPool&) = delete;
    JobPool& operator=(const JobPool&) = delete;

    void submit(std::function<void()> job);

private:
    void work();

    const std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace quarry::carving
