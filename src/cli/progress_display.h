#pragma once

#include "carving/scan.h"
#include "cli/console.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace quarry::cli {

// Where a scan stands, as the progress display samples it.
struct ProgressSample {
    unsigned pass = 0;   // 0 general, 1 thorough
    unsigned passes = 1; // passes planned
    std::uint64_t forIndex = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0; // exclusive
    double elapsedSeconds = 0;
};

// "General pass: Sectors 1024 of 4096   ( Completed 25% )   512.0 MB/s   ETA 0:00:03"
std::string formatProgress(const ProgressSample& sample);

// "Scan complete: 8192 sectors read in 0:00:02, 2.1 MB/s"
std::string formatClosing(bool stopped, std::uint64_t sectorsRead, double elapsedSeconds);

// Draws the progress line from its own thread, reading for_index, so the scan's loop never
// touches the display: a few times a second on a terminal, a plain line now and then
// otherwise.
class ProgressDisplay {
public:
    ProgressDisplay(Console& console, const carving::ScanControl& control, std::uint64_t start,
                    std::uint64_t end, unsigned passes);
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // Called on the scan's thread at each pass start.
    void passStarted(carving::PassKind pass, const char* modeLabel);
    // Ends the display with a closing line in place of the progress line.
    void finish(bool stopped, std::uint64_t sectorsRead);

private:
    void run(std::stop_token stop);
    void draw();
    double elapsedSeconds() const;

    Console& console_;
    const carving::ScanControl& control_;
    std::uint64_t start_;
    std::uint64_t end_;
    unsigned passes_;
    std::atomic<unsigned> pass_{0};
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread thread_;
};

} // namespace quarry::cli
