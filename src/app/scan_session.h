#pragma once

#include "carving/scan.h"

#include <atomic>
#include <cstdint>
#include <memory>

class QDialog;
class QLabel;
class QProgressBar;

namespace quarry::carving {
class BlockObserver;
class ScanBridge;
class ScanProgress;
class SectorSource;
} // namespace quarry::carving

namespace quarry::traces {
class TraceScanner;
}

namespace quarry::app {

// The scan of the window, one at a time: the engine bridge, the counters, the progress line,
// the file-system traces, and the hand-shake that runs the end-of-scan step once per scan,
// whichever of the worker, a preview copy and the exit gets there first. Lives on the GUI thread;
// the calls marked "worker" come from the scan's worker.
class ScanSession {
public:
    ScanSession();
    // Stops a running scan and waits for its worker.
    ~ScanSession();

    // stop_now, for_index, start_sector, end_sector (exclusive) and total_sector.
    carving::ScanControl& control() { return control_; }
    // GND_Image_number and THD_Image_number; never reset while the process runs.
    carving::PhotoCounters& photoCounters() { return photoCounters_; }
    carving::ScanBridge& bridge() const { return *bridge_; }

    // Items added to either browser since the scan began.
    std::uint64_t addedItemCount() const { return addedItemCount_.load(); }
    void setAddedItemCount(std::uint64_t count) { addedItemCount_.store(count); }

    // --- Progress line and bar (GUI thread) ---
    // `startTimerThread`: refreshes them twice a second until stopped.
    void startProgress(QLabel* sectorLabel, QProgressBar* progressBar);
    // The progress refresh of the latest scan; null once stopped.
    carving::ScanProgress* progress() const { return progress_.get(); }
    void tickProgress();
    // A pass begins: the progress starts again from the range start.
    void restartProgressForPass();
    // One last tick shows where a stopped scan ended; then the refresh goes.
    void stopProgress();

    // --- File-system traces ---
    // The observer of the scan about to read `source`.
    carving::BlockObserver* beginTracing(const carving::SectorSource* source);
    // Worker: the scan has ended, so its traces are complete; null when none were taken.
    std::shared_ptr<traces::TraceScanner> finishTracing();

    // --- End-of-scan hand-shake ---
    // A scan starts: its end step may then run, once.
    void arm();
    // The scan ends without its end step (the medium could not be opened).
    void disarm() { endStepArmed_ = false; }
    // True once per armed scan: the caller runs the end step.
    bool takeEndStep() { return endStepArmed_.exchange(false); }
    // The window is going away: a finishing worker leaves it alone. Stops a running scan and,
    // with `serveGuiThread` run meanwhile, waits for its worker.
    template <typename Serve> void shutDown(Serve serveGuiThread) {
        shuttingDown_ = true;
        endStepArmed_ = false;
        requestStopIfRunning();
        // The worker may be waiting for the GUI thread; serve it until it has ended.
        while (isRunning())
            serveGuiThread();
        waitForWorker();
    }
    bool shuttingDown() const { return shuttingDown_.load(); }

    // A preview copies an item's sectors behind `sheet`; it stops early on previewStop().
    void previewCopyStarted(QDialog* sheet) { previewSheet_ = sheet; }
    // The copy is over; true when the scan ended meanwhile and left its end step to it.
    bool previewCopyEnded() {
        previewSheet_ = nullptr;
        return scanEnded_.load();
    }
    // The preparation sheet while a preview copy runs, else null.
    QDialog* previewSheet() const { return previewSheet_.load(); }
    const std::atomic<int>& previewStop() const { return control_.stop_now; }
    // The window is going away: a running preview copy ends at its next sector, as does a scan.
    void stopPreviewCopy() { control_.stop_now = 1; }
    // Worker: a video or raw-file scan has completed. A running preview copy is stopped and
    // runs the end step itself; true when none runs, so the caller does. The flags are raised
    // before the sheet is looked at, and the preview clears the sheet before it looks at them,
    // so at least one side asks for the step.
    bool endsWithoutPreview() {
        scanEnded_ = true;
        control_.stop_now = 1;
        return previewSheet_.load() == nullptr;
    }

private:
    void requestStopIfRunning();
    bool isRunning() const;
    void waitForWorker();

    carving::ScanControl control_;
    carving::PhotoCounters photoCounters_;
    std::atomic<std::uint64_t> addedItemCount_{0};
    std::unique_ptr<carving::ScanProgress> progress_;
    std::shared_ptr<traces::TraceScanner> traces_;
    std::uint64_t tracedSectors_ = 0;
    std::atomic<bool> endStepArmed_{false};
    // Set by the worker when its scan has ended; read by a preview that may owe the end step.
    std::atomic<bool> scanEnded_{false};
    std::atomic<bool> shuttingDown_{false};
    std::atomic<QDialog*> previewSheet_{nullptr};
    // Last, so its worker has ended before anything it uses goes away.
    std::unique_ptr<carving::ScanBridge> bridge_;
};

} // namespace quarry::app
