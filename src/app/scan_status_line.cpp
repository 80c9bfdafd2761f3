#include "app/scan_status_line.h"

#include "app/choose_bar.h"
#include "carving/ui/scanbridge.h"

namespace quarry::app {

ScanStatusLine::ScanStatusLine(ScanEndBar& bar, carving::ScanBridge& bridge,
                               const carving::ScanControl& control, std::function<std::uint64_t()> found)
    : bar_(bar), control_(control), found_(std::move(found)) {
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &ScanStatusLine::show);
    connect(&bridge, &carving::ScanBridge::scanStarting, this, [this] {
        passClock_.start();
        timer_.start();
    });
    connect(&bridge.items(), &carving::FoundItemStream::passBegan, this, [this] { passClock_.start(); });
    connect(&bridge, &carving::ScanBridge::scanFinished, this, &ScanStatusLine::stop);
}

void ScanStatusLine::show() {
    const std::uint64_t start = control_.start_sector.load();
    const std::uint64_t at = control_.for_index.load();
    const std::uint64_t done = at > start ? at - start : 0;
    bar_.setStatus(scanStatusText(found_(), done, control_.total_sector.load(),
                                  static_cast<double>(passClock_.elapsed()) / 1000.0));
}

} // namespace quarry::app
