#pragma once

#include "carving/scan.h"
#include "carving/sector_source.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quarry::carving {

class FoundFileGroups;

// Runs one carving engine at a time on a worker thread of its own and hands what it finds to
// a sink there. Started, stopped and waited for from one controlling thread.
class ScanRunner {
public:
    // Runs on the controlling thread as a scan is about to start, before its worker runs.
    using StartingHandler = std::function<void()>;
    // Runs on the worker thread once a scan has ended and its source is closed; the runner
    // counts as running until it returns.
    using EndedHandler = std::function<void(const ScanResult&)>;

    ScanRunner(ScanControl& control, ScanSink& sink);
    // Asks a running scan to stop and waits for its worker.
    ~ScanRunner();

    // Also receives everything the engine hands over, in found order, before the sink does.
    // Set or clear it while no scan runs.
    void setExtraSink(ScanSink* sink) { extraSink_ = sink; }
    // Set while no scan runs.
    void setStartingHandler(StartingHandler handler) { starting_ = std::move(handler); }
    void setEndedHandler(EndedHandler handler) { ended_ = std::move(handler); }

    // Start the engine on a new worker thread, which owns `source` (null: the medium could not
    // be opened) and closes it when the scan ends. The request's lists, `counters` and `groups`
    // must outlive the scan. False, with nothing started, while a scan is still running.
    bool startPhotoScan(std::unique_ptr<SectorSource> source, ScanRequest request, PhotoCounters& counters);
    bool startRawScan(std::unique_ptr<SectorSource> source, ScanRequest request, FoundFileGroups& groups);

    bool isRunning() const { return running_.load(); }
    // The engine notices at its next sector.
    void requestStop() { control_.stop_now.store(1); }
    // Blocks until the worker of the last scan has ended.
    void waitForWorker();

private:
    // Hands each report to the extra sink, then to the main one; a photo's bytes are copied
    // once for both.
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
    ScanSink& sink_;
    ScanSink* extraSink_ = nullptr;
    StartingHandler starting_;
    EndedHandler ended_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

} // namespace quarry::carving
