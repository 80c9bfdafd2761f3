#pragma once

#include <mutex>
#include <ostream>
#include <string_view>

namespace quarry::cli {

// The error stream shared by the scan, the progress display and the messages; one line at a
// time. On a terminal the progress line is redrawn in place and cleared before a message.
class Console {
public:
    Console(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    bool terminal() const { return terminal_; }

    // A whole line of its own.
    void message(std::string_view line);
    // The progress line: redrawn in place on a terminal, a plain line otherwise.
    void progress(std::string_view line);
    // Leaves the last progress line standing on a terminal.
    void endProgress();

private:
    void clearProgressLocked();

    std::mutex mutex_;
    std::ostream& err_;
    bool terminal_;
    bool progressShown_ = false;
};

} // namespace quarry::cli
