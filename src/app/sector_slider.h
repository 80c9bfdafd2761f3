#pragma once

#include <QSlider>
#include <cstdint>

namespace quarry::app {

// A slider over 64-bit sector numbers. QSlider positions are int, so large media are mapped
// onto at most 2^30 steps; the sector value itself is kept exactly, and a knob moved by the
// user lands on the sector its step stands for.
class SectorSlider final : public QSlider {
    Q_OBJECT
public:
    explicit SectorSlider(QWidget* parent = nullptr);

    void setSectorRange(std::uint64_t minimum, std::uint64_t maximum);
    // Clamped into the range.
    void setSectorValue(std::uint64_t value);

    std::uint64_t sectorMinimum() const { return minimum_; }
    std::uint64_t sectorMaximum() const { return maximum_; }
    std::uint64_t sectorValue() const { return value_; }

signals:
    // The user moved the knob (programmatic changes do not emit it).
    void sectorValueMoved(std::uint64_t value);

private:
    std::uint64_t steps() const;
    std::uint64_t sectorAt(int position) const;
    int positionOf(std::uint64_t value) const;
    void placeKnob();
    void knobMoved(int position);

    std::uint64_t minimum_ = 0;
    std::uint64_t maximum_ = 0;
    std::uint64_t value_ = 0;
    bool placing_ = false;
};

} // namespace quarry::app
