#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace quarry::carving {
class ScanBridge;
struct ScanControl;
} // namespace quarry::carving

namespace quarry::app {

class ScanEndBar;

// While a scan runs, the end-of-scan bar says twice a second how many items were found, how
// long the pass has run and how long it may still take.
class ScanStatusLine final : public QObject {
    Q_OBJECT
public:
    // `found` counts the items found so far.
    ScanStatusLine(ScanEndBar& bar, carving::ScanBridge& bridge, const carving::ScanControl& control,
                   std::function<std::uint64_t()> found);

    void stop() { timer_.stop(); }

private:
    void show();

    ScanEndBar& bar_;
    const carving::ScanControl& control_;
    std::function<std::uint64_t()> found_;
    QTimer timer_;
    QElapsedTimer passClock_;
};

} // namespace quarry::app
