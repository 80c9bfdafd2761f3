#include "cli/progress_display.h"

#include "common/sector.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace quarry::cli {
namespace {

std::string formatDuration(double seconds) {
    const auto total = static_cast<std::uint64_t>(seconds + 0.5);
    char text[48];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", total / 3600,
                  static_cast<unsigned>(total / 60 % 60), static_cast<unsigned>(total % 60));
    return text;
}

} // namespace

std::string formatProgress(const ProgressSample& s) {
    const std::uint64_t total = s.end > s.start ? s.end - s.start : 0;
    const std::uint64_t done = s.forIndex > s.start ? std::min(s.forIndex - s.start, total) : 0;
    const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;

    char line[160];
    std::snprintf(line, sizeof line,
                  "%s pass: Sectors %" PRIu64 " of %" PRIu64 "   ( Completed %" PRIu64 "%% )",
                  s.pass == 0 ? "General" : "Thorough", s.forIndex, s.end, percent);
    std::string text = line;

    const double processed =
        static_cast<double>(s.pass) * static_cast<double>(total) + static_cast<double>(done);
    const double planned = static_cast<double>(s.passes) * static_cast<double>(total);
    if (s.elapsedSeconds < 0.05 || processed <= 0) {
        text += "   -- MB/s   ETA --";
        return text;
    }
    const double sectorsPerSecond = processed / s.elapsedSeconds;
    std::snprintf(line, sizeof line, "   %.1f MB/s   ETA ",
                  sectorsPerSecond * static_cast<double>(kSectorSize) / 1e6);
    text += line;
    text += formatDuration(std::max(0.0, planned - processed) / sectorsPerSecond);
    return text;
}

std::string formatClosing(bool stopped, std::uint64_t sectorsRead, double elapsedSeconds) {
    std::string text = std::string(stopped ? "Scan stopped: " : "Scan complete: ") +
                       std::to_string(sectorsRead) + " sectors read in " + formatDuration(elapsedSeconds);
    if (elapsedSeconds >= 0.05) {
        char rate[48];
        std::snprintf(rate, sizeof rate, ", %.1f MB/s",
                      static_cast<double>(sectorsRead) * static_cast<double>(kSectorSize) / 1e6 /
                          elapsedSeconds);
        text += rate;
    }
    return text;
}

ProgressDisplay::ProgressDisplay(Console& console, const carving::ScanControl& control, std::uint64_t start,
                                 std::uint64_t end, unsigned passes)
    : console_(console), control_(control), start_(start), end_(end), passes_(passes),
      thread_([this](std::stop_token stop) { run(stop); }) {}

double ProgressDisplay::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
}

void ProgressDisplay::passStarted(carving::PassKind pass, const char* modeLabel) {
    pass_ = pass == carving::PassKind::General ? 0 : 1;
    console_.message(modeLabel);
}

void ProgressDisplay::draw() {
    ProgressSample sample;
    sample.pass = pass_;
    sample.passes = passes_;
    sample.forIndex = control_.for_index.load(std::memory_order_relaxed);
    sample.start = start_;
    sample.end = end_;
    sample.elapsedSeconds = elapsedSeconds();
    console_.progress(formatProgress(sample));
}

void ProgressDisplay::run(std::stop_token stop) {
    const auto interval =
        console_.terminal() ? std::chrono::milliseconds(250) : std::chrono::milliseconds(2000);
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait_for(lock, stop, interval, [] { return false; });
        if (stop.stop_requested())
            return;
        draw();
    }
}

void ProgressDisplay::finish(bool stopped, std::uint64_t sectorsRead) {
    if (!thread_.joinable())
        return;
    thread_.request_stop();
    thread_.join();
    console_.message(formatClosing(stopped, sectorsRead, elapsedSeconds()));
}

} // namespace quarry::cli
