#include "carving/ui/scanbridge.h"

namespace quarry::carving {

ScanBridge::ScanBridge(ScanControl& control, QObject* parent) : QObject(parent), control_(control) {}

ScanBridge::~ScanBridge() {
    if (running_.load())
        requestStop();
    waitForWorker();
}

void ScanBridge::waitForWorker() {
    if (worker_.joinable())
        worker_.join();
}

bool ScanBridge::startPhotoScan(std::unique_ptr<SectorSource> source, ScanRequest request,
                                PhotoCounters& counters) {
    request.source = source.get();
    return launch([this, request,
                   &counters](ScanSink& sink) { return runPhotoScan(request, control_, counters, sink); },
                  std::move(source));
}

bool ScanBridge::startRawScan(std::unique_ptr<SectorSource> source, ScanRequest request,
                              FoundFileGroups& groups) {
    request.source = source.get();
    return launch(
        [this, request, &groups](ScanSink& sink) { return runRawScan(request, control_, groups, sink); },
        std::move(source));
}

bool ScanBridge::launch(std::function<ScanResult(ScanSink&)> engine, std::unique_ptr<SectorSource> source) {
    if (running_.exchange(true))
        return false;
    waitForWorker();
    emit scanStarting();
    worker_ = std::thread([this, engine = std::move(engine), source = std::move(source)]() mutable {
        ScanResult result;
        if (extraSink_) {
            SinkPair both(*extraSink_, items_);
            result = engine(both);
        } else {
            result = engine(items_);
        }
        source.reset();
        items_.flush();
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                items_.drain();
                emit scanFinished(result);
            },
            Qt::QueuedConnection);
        if (workerFinished_)
            workerFinished_(result);
        running_.store(false);
    });
    return true;
}

void ScanBridge::SinkPair::passStarted(PassKind pass, const char* modeLabel) {
    first_.passStarted(pass, modeLabel);
    second_.passStarted(pass, modeLabel);
}

void ScanBridge::SinkPair::photoItem(PassKind pass, std::span<const std::uint8_t> bytes,
                                     const std::string& name, const std::string& uid,
                                     std::uint64_t firstSector, std::uint64_t endSector,
                                     std::uint64_t unreadableSectors) {
    first_.photoItem(pass, bytes, name, uid, firstSector, endSector, unreadableSectors);
    second_.photoItem(pass, bytes, name, uid, firstSector, endSector, unreadableSectors);
}

void ScanBridge::SinkPair::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                                   std::uint64_t startSector, std::uint64_t endSector,
                                   std::uint64_t unreadableSectors) {
    first_.rawItem(pass, name, uid, startSector, endSector, unreadableSectors);
    second_.rawItem(pass, name, uid, startSector, endSector, unreadableSectors);
}

} // namespace quarry::carving
