#include "app/wizard_flow.h"

namespace quarry::app {

// A photo scan starts at step 2: there is no file-type screen to leave.
WizardFlow::Move WizardFlow::onNext() const {
    switch (step_) {
    case 0:
        return Move::LeaveMedia;
    case 1:
        return Move::LeaveRange;
    case 2:
        return photo() ? Move::None : Move::LeaveFileTypes;
    default:
        return Move::None;
    }
}

WizardFlow::Move WizardFlow::onBack() const {
    switch (step_) {
    case 1:
        return Move::BackToMedia;
    case 2:
        return Move::BackToRange;
    case 3:
        return Move::BackToFileTypes;
    default:
        return Move::None;
    }
}

} // namespace quarry::app
