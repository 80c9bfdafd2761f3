#include "carving/ui/scan_progress.h"

#include <QLabel>
#include <QProgressBar>
#include <climits>
#include <cstdint>

namespace quarry::carving {
namespace {

// (done × 100) ÷ total, truncated; done < total. Past 2^64 ÷ 100 the product would wrap;
// there total ÷ 100 is so large that dividing by it first loses far less than a percent.
std::uint64_t percentOf(std::uint64_t done, std::uint64_t total) {
    if (done <= UINT64_MAX / 100)
        return done * 100 / total;
    return done / (total / 100);
}

} // namespace

std::optional<ProgressTick> progressTick(std::uint64_t start_sector, std::uint64_t end_sector,
                                         std::uint64_t total_sector, std::uint64_t for_index) {
    if (for_index >= end_sector)
        return std::nullopt;
    // Before the worker has placed for_index in the range, nothing is done yet.
    const std::uint64_t done = for_index > start_sector ? for_index - start_sector : 0;
    const std::uint64_t percent = total_sector == 0 ? 0 : percentOf(done, total_sector);
    return ProgressTick{QString::asprintf("Sectors %llu of %llu   ( Completed %llu%% )",
                                          static_cast<unsigned long long>(for_index),
                                          static_cast<unsigned long long>(end_sector),
                                          static_cast<unsigned long long>(percent)),
                        done};
}

std::uint64_t progressBarDivisor(std::uint64_t total_sector) {
    return total_sector / INT_MAX + 1;
}

ScanProgress::ScanProgress(const ScanControl& control, QObject* parent) : QObject(parent), control_(control) {
    timer_.setInterval(kProgressIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ScanProgress::timerTickSetLabel);
}

void ScanProgress::setControls(QLabel* sectorLabel, QProgressBar* progressBar) {
    sectorLabel_ = sectorLabel;
    progressBar_ = progressBar;
}

void ScanProgress::start() {
    timer_.start();
}

void ScanProgress::stop() {
    if (!timer_.isActive())
        return;
    timer_.stop();
    timerTickSetLabel();
}

void ScanProgress::resetForPass() {
    if (!progressBar_)
        return;
    const std::uint64_t total = control_.total_sector.load();
    progressBar_->setRange(0, static_cast<int>(total / progressBarDivisor(total)));
    progressBar_->setValue(0);
}

void ScanProgress::timerTickSetLabel() {
    const auto tick = progressTick(control_.start_sector.load(), control_.end_sector.load(),
                                   control_.total_sector.load(), control_.for_index.load());
    if (!tick)
        return;
    if (sectorLabel_)
        sectorLabel_->setText(tick->line);
    if (progressBar_)
        progressBar_->setValue(
            static_cast<int>(tick->barValue / progressBarDivisor(control_.total_sector.load())));
    emit ticked(tick->line, tick->barValue);
}

} // namespace quarry::carving
