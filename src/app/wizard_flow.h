#pragma once

#include <atomic>
#include <cstdint>

namespace quarry::app {

// What a recovery looks for.
enum class Mode : std::int32_t { Photo = 0, Video = 1, RawFile = 2 };

// The wizard's state: the step on screen and the chosen mode, and where Next and Back lead.
// Steps: 0 media, 1 scan range, 2 file types (video/raw) or photo scan, 3 video/raw scan.
class WizardFlow {
public:
    enum class Move {
        None,
        LeaveMedia,
        LeaveRange,
        LeaveFileTypes,
        BackToMedia,
        BackToRange,
        BackToFileTypes
    };

    Move onNext() const;
    Move onBack() const;

    std::int32_t step() const { return step_; }
    void setStep(std::int32_t step) { step_ = step; }

    // Read by the scan's worker as well.
    Mode mode() const { return mode_; }
    void setMode(Mode mode) { mode_ = mode; }
    bool photo() const { return mode_ == Mode::Photo; }

private:
    std::int32_t step_ = 0;
    std::atomic<Mode> mode_{Mode::Photo};
};

} // namespace quarry::app
