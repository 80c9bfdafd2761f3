#include "carving/ui/scanbridge.h"

namespace quarry::carving {

ScanBridge::ScanBridge(ScanControl& control, QObject* parent) : QObject(parent), runner_(control, items_) {
    runner_.setStartingHandler([this] { emit scanStarting(); });
    runner_.setEndedHandler([this](const ScanResult& result) {
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
    });
}

} // namespace quarry::carving
