#include "cli/console.h"

namespace quarry::cli {

void Console::clearProgressLocked() {
    if (progressShown_) {
        err_ << "\r\033[K";
        progressShown_ = false;
    }
}

void Console::message(std::string_view line) {
    std::lock_guard lock(mutex_);
    clearProgressLocked();
    err_ << line << '\n' << std::flush;
}

void Console::progress(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (terminal_) {
        err_ << "\r\033[K" << line << std::flush;
        progressShown_ = true;
    } else {
        err_ << line << '\n' << std::flush;
    }
}

void Console::endProgress() {
    std::lock_guard lock(mutex_);
    if (progressShown_) {
        err_ << '\n' << std::flush;
        progressShown_ = false;
    }
}

} // namespace quarry::cli
