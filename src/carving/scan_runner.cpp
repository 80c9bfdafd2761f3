#include "carving/scan_runner.h"

namespace quarry::carving {

ScanRunner::ScanRunner(ScanControl& control, ScanSink& sink) : control_(control), sink_(sink) {}

ScanRunner::~ScanRunner() {
    if (running_.load())
        requestStop();
    waitForWorker();
}

void ScanRunner::waitForWorker() {
    if (worker_.joinable())
        worker_.join();
}

bool ScanRunner::startPhotoScan(std::unique_ptr<SectorSource> source, ScanRequest request,
                                PhotoCounters& counters) {
    request.source = source.get();
    return launch([this, request,
                   &counters](ScanSink& sink) { return runPhotoScan(request, control_, counters, sink); },
                  std::move(source));
}

bool ScanRunner::startRawScan(std::unique_ptr<SectorSource> source, ScanRequest request,
                              FoundFileGroups& groups) {
    request.source = source.get();
    return launch(
        [this, request, &groups](ScanSink& sink) { return runRawScan(request, control_, groups, sink); },
        std::move(source));
}

bool ScanRunner::launch(std::function<ScanResult(ScanSink&)> engine, std::unique_ptr<SectorSource> source) {
    if (running_.exchange(true))
        return false;
    waitForWorker();
    if (starting_)
        starting_();
    worker_ = std::thread([this, engine = std::move(engine), source = std::move(source)]() mutable {
        ScanResult result;
        if (extraSink_) {
            SinkPair both(*extraSink_, sink_);
            result = engine(both);
        } else {
            result = engine(sink_);
        }
        source.reset();
        if (ended_)
            ended_(result);
        running_.store(false);
    });
    return true;
}

void ScanRunner::SinkPair::passStarted(PassKind pass, const char* modeLabel) {
    first_.passStarted(pass, modeLabel);
    second_.passStarted(pass, modeLabel);
}

void ScanRunner::SinkPair::photoItem(PassKind pass, std::span<const std::uint8_t> bytes,
                                     const std::string& name, const std::string& uid,
                                     std::uint64_t firstSector, std::uint64_t endSector,
                                     std::uint64_t unreadableSectors) {
    const ItemBytes shared = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    first_.sharedPhotoItem(pass, shared, name, uid, firstSector, endSector, unreadableSectors);
    second_.sharedPhotoItem(pass, shared, name, uid, firstSector, endSector, unreadableSectors);
}

void ScanRunner::SinkPair::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                                   std::uint64_t startSector, std::uint64_t endSector,
                                   std::uint64_t unreadableSectors) {
    first_.rawItem(pass, name, uid, startSector, endSector, unreadableSectors);
    second_.rawItem(pass, name, uid, startSector, endSector, unreadableSectors);
}

} // namespace quarry::carving
