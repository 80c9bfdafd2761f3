#pragma once

#include "carving/scan.h"
#include "carving/sector_source.h"
#include "carving/ui/found_item_stream.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

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
    // Asks a running scan to stop and waits for its worker, which must not be blocked on the
    // GUI thread at that moment.
    ~ScanBridge() override;

    FoundItemStream& items() { return items_; }
    void setWorkerFinishedHandler(WorkerFinishedHandler handler) { workerFinished_ = std::move(handler); }

    // Start the engine on a new worker thread, which owns `source` (null: the medium could not
    // be opened) and closes it when the scan ends. The request's lists, `counters` and `groups`
    // must outlive the scan. False, with nothing started, while a scan is still running.
    bool startPhotoScan(std::unique_ptr<SectorSource> source, PhotoScanRequest request,
                        PhotoCounters& counters);
    bool startRawScan(std::unique_ptr<SectorSource> source, RawScanRequest request, FoundFileGroups& groups);

    bool isRunning() const { return running_.load(); }
    // The Stop button: the engine notices at its next sector.
    void requestStop() { control_.stop_now.store(1); }
    // Blocks until the worker of the last scan has ended.
    void waitForWorker();

signals:
    // GUI thread, after the scan's last item has been delivered.
    void scanFinished(const quarry::carving::ScanResult& result);

private:
    bool launch(std::function<ScanResult()> engine, std::unique_ptr<SectorSource> source);

    ScanControl& control_;
    FoundItemStream items_;
    WorkerFinishedHandler workerFinished_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

} // namespace quarry::carving
