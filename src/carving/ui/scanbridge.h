#pragma once

#include "carving/scan_runner.h"
#include "carving/ui/found_item_stream.h"

#include <QObject>
#include <functional>
#include <memory>

namespace quarry::carving {

// Runs one carving engine at a time on a worker thread (`Photo_Rec_Thread`,
// `Raw_File_Rec_Thread`). What the engine finds reaches the GUI thread through items(); no
// widget is touched off the GUI thread. Lives on the GUI thread.
class ScanBridge : public QObject {
    Q_OBJECT
public:
    // Runs on the worker thread once a scan has ended: the source is closed by then and every
    // item is queued for the GUI thread ahead of anything the handler posts there. The
    // end-of-scan step may block the worker here while it waits for the GUI thread.
    using WorkerFinishedHandler = std::function<void(const ScanResult&)>;

    explicit ScanBridge(ScanControl& control, QObject* parent = nullptr);

    FoundItemStream& items() { return items_; }
    // Also receives everything the engine hands over, on the worker thread and in found order,
    // before the browsers' stream does. Set or clear it while no scan runs.
    void setExtraSink(ScanSink* sink) { runner_.setExtraSink(sink); }
    void setWorkerFinishedHandler(WorkerFinishedHandler handler) { workerFinished_ = std::move(handler); }

    // See ScanRunner.
    bool startPhotoScan(std::unique_ptr<SectorSource> source, ScanRequest request, PhotoCounters& counters) {
        return runner_.startPhotoScan(std::move(source), std::move(request), counters);
    }
    bool startRawScan(std::unique_ptr<SectorSource> source, ScanRequest request, FoundFileGroups& groups) {
        return runner_.startRawScan(std::move(source), std::move(request), groups);
    }
    bool isRunning() const { return runner_.isRunning(); }
    // The Stop button: the engine notices at its next sector.
    void requestStop() { runner_.requestStop(); }
    // Blocks until the worker of the last scan has ended; it must not be blocked on the GUI
    // thread at that moment.
    void waitForWorker() { runner_.waitForWorker(); }

signals:
    // GUI thread, as a scan is about to start and before its worker runs: the moment to make
    // the extra sink ready for it.
    void scanStarting();
    // GUI thread, after the scan's last item has been delivered.
    void scanFinished(const quarry::carving::ScanResult& result);

private:
    FoundItemStream items_;
    WorkerFinishedHandler workerFinished_;
    // Last, so its worker has ended before the stream goes.
    ScanRunner runner_;
};

} // namespace quarry::carving
