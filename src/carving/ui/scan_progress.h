#pragma once

#include "carving/scan.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

class QLabel;
class QProgressBar;

namespace quarry::carving {

inline constexpr int kProgressIntervalMs = 500;

struct ProgressTick {
    QString line;           // "Sectors %llu of %llu   ( Completed %llu%% )"
    std::uint64_t barValue; // for_index − start_sector
};

// What one progress tick shows; nothing once for_index has reached end_sector (which also
// covers a scan whose range is not set yet).
std::optional<ProgressTick> progressTick(std::uint64_t start_sector, std::uint64_t end_sector,
                                         std::uint64_t total_sector, std::uint64_t for_index);

// A progress bar's int range cannot hold every sector count: values are divided by this.
std::uint64_t progressBarDivisor(std::uint64_t total_sector);

// The progress line and bar of a running scan, refreshed every 500 ms from ScanControl on the
// GUI thread, independently of the read loop.
class ScanProgress : public QObject {
    Q_OBJECT
public:
    explicit ScanProgress(const ScanControl& control, QObject* parent = nullptr);

    // `_sector_label` and `_Progress_Horz`; either may be null.
    void setControls(QLabel* sectorLabel, QProgressBar* progressBar);

    // `startTimerThread`: ticks every 500 ms until stopped.
    void start();
    // The timer is invalidated; one last tick shows where a stopped scan ended.
    void stop();
    bool isActive() const { return timer_.isActive(); }

    // At a pass start: the bar runs from 0 to total_sector and starts at 0.
    void resetForPass();
    // `timerTickSetLabel:`.
    void timerTickSetLabel();

signals:
    void ticked(const QString& line, quint64 barValue);

private:
    const ScanControl& control_;
    QPointer<QLabel> sectorLabel_;
    QPointer<QProgressBar> progressBar_;
    QTimer timer_;
};

} // namespace quarry::carving
