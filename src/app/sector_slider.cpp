#include "app/sector_slider.h"

#include <algorithm>

namespace quarry::app {
namespace {

constexpr std::uint64_t kMaxSteps = std::uint64_t{1} << 30;

} // namespace

SectorSlider::SectorSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    connect(this, &QSlider::valueChanged, this, &SectorSlider::knobMoved);
    placeKnob();
}

void SectorSlider::setSectorRange(std::uint64_t minimum, std::uint64_t maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    value_ = std::clamp(value_, minimum_, maximum_);
    placeKnob();
}

void SectorSlider::setSectorValue(std::uint64_t value) {
    value_ = std::clamp(value, minimum_, maximum_);
    placeKnob();
}

// One step per sector while the span fits, so small media map exactly.
std::uint64_t SectorSlider::steps() const {
    return std::min(maximum_ - minimum_, kMaxSteps);
}

// minimum + span * position / steps without overflowing 64 bits: span = q * steps + r.
std::uint64_t SectorSlider::sectorAt(int position) const {
    const std::uint64_t n = steps();
    if (n == 0)
        return minimum_;
    const auto p = static_cast<std::uint64_t>(std::clamp<int>(position, 0, static_cast<int>(n)));
    const std::uint64_t span = maximum_ - minimum_;
    return minimum_ + (span / n) * p + (span % n) * p / n;
}

int SectorSlider::positionOf(std::uint64_t value) const {
    const std::uint64_t n = steps();
    if (n == 0)
        return 0;
    const std::uint64_t span = maximum_ - minimum_;
    if (span == n)
        return static_cast<int>(value - minimum_);
    const long double fraction = static_cast<long double>(value - minimum_) / static_cast<long double>(span);
    return static_cast<int>(fraction * static_cast<long double>(n) + 0.5L);
}

void SectorSlider::placeKnob() {
    placing_ = true;
    setRange(0, static_cast<int>(steps()));
    setValue(positionOf(value_));
    placing_ = false;
}

void SectorSlider::knobMoved(int position) {
    if (placing_)
        return;
    value_ = sectorAt(position);
    emit sectorValueMoved(value_);
}

} // namespace quarry::app
