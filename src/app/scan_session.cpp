#include "app/scan_session.h"

#include "carving/ui/scan_progress.h"
#include "carving/ui/scanbridge.h"
#include "traces/trace_scanner.h"

namespace quarry::app {

ScanSession::ScanSession() : bridge_(std::make_unique<carving::ScanBridge>(control_)) {}

ScanSession::~ScanSession() = default;

void ScanSession::startProgress(QLabel* sectorLabel, QProgressBar* progressBar) {
    progress_ = std::make_unique<carving::ScanProgress>(control_);
    progress_->setControls(sectorLabel, progressBar);
    progress_->resetForPass();
    progress_->start();
}

void ScanSession::tickProgress() {
    if (progress_)
        progress_->timerTickSetLabel();
}

void ScanSession::restartProgressForPass() {
    if (!progress_)
        return;
    progress_->resetForPass();
    progress_->timerTickSetLabel();
}

void ScanSession::stopProgress() {
    if (progress_)
        progress_->stop();
    progress_.reset();
}

carving::BlockObserver* ScanSession::beginTracing(const carving::SectorSource* source) {
    traces_ = std::make_shared<traces::TraceScanner>();
    tracedSectors_ = source ? source->sectorCount() : 0;
    return traces_.get();
}

std::shared_ptr<traces::TraceScanner> ScanSession::finishTracing() {
    if (traces_)
        traces_->finish(tracedSectors_);
    return traces_;
}

void ScanSession::arm() {
    endStepArmed_ = true;
    scanEnded_ = false;
}

void ScanSession::requestStopIfRunning() {
    if (bridge_->isRunning())
        bridge_->requestStop();
}

bool ScanSession::isRunning() const {
    return bridge_->isRunning();
}

void ScanSession::waitForWorker() {
    bridge_->waitForWorker();
}

} // namespace quarry::app
