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
    // Also receives everything the engine hands over, on the worker thread and in found order,
    // before the browsers' stream does. Set or clear it while no scan runs.
    void setExtraSink(ScanSink* sink) { extraSink_ = sink; }
    void setWorkerFinishedHandler(WorkerFinishedHandler handler) { workerFinished_ = std::move(handler); }

    // Start the engine on a new worker thread, which owns `source` (null: the medium could not
    // be opened) and closes it when the scan ends. The request's lists, `counters` and `groups`
    // must outlive the scan. False, with nothing started, while a scan is still running.
    bool startPhotoScan(std::unique_ptr<SectorSource> source, ScanRequest request, PhotoCounters& counters);
    bool startRawScan(std::unique_ptr<SectorSource> source, ScanRequest request, FoundFileGroups& groups);

    bool isRunning() const { return running_.load(); }
    // The Stop button: the engine notices at its next sector.
    void requestStop() { control_.stop_now.store(1); }
    // Blocks until the worker of the last scan has ended.
    void waitForWorker();

signals:
    // GUI thread, as a scan is about to start and before its worker runs: the moment to make
    // the extra sink ready for it.
    void scanStarting();
    // GUI thread, after the scan's last item has been delivered.
    void scanFinished(const quarry::carving::ScanResult& result);

private:
    // Hands each report to the extra sink, then to the browsers' stream.
    class SinkPair final : public ScanSink {
    public:
        SinkPair(ScanSink& first, ScanSink& second) : first_(first), second_(second) {}
        void passStarted(PassKind pass, const char* modeLabel) override;
        void photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                       const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                       std::uint64_t unreadableSectors) override;
        void rawItem(PassKind pass, const std::string& name, const std::string& uid,
                     std::uint64_t startSector, std::uint64_t endSector,
                     std::uint64_t unreadableSectors) override;

    private:
        ScanSink& first_;
        ScanSink& second_;
    };

    bool launch(std::function<ScanResult(ScanSink&)> engine, std::unique_ptr<SectorSource> source);

    ScanControl& control_;
    FoundItemStream items_;
    ScanSink* extraSink_ = nullptr;
    WorkerFinishedHandler workerFinished_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

} // namespace quarry::carving
