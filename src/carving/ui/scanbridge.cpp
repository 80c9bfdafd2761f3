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

bool ScanBridge::startPhotoScan(std::unique_ptr<SectorSource> source, PhotoScanRequest request,
                                PhotoCounters& counters) {
    request.source = source.get();
    return launch([this, request, &counters] { return runPhotoScan(request, control_, counters, items_); },
                  std::move(source));
}

bool ScanBridge::startRawScan(std::unique_ptr<SectorSource> source, RawScanRequest request,
                              FoundFileGroups& groups) {
    request.source = source.get();
    return launch([this, request, &groups] { return runRawScan(request, control_, groups, items_); },
                  std::move(source));
}

bool ScanBridge::launch(std::function<ScanResult()> engine, std::unique_ptr<SectorSource> source) {
    if (running_.exchange(true))
        return false;
    waitForWorker();
    worker_ = std::thread([this, engine = std::move(engine), source = std::move(source)]() mutable {
        const ScanResult result = engine();
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

} // namespace quarry::carving
