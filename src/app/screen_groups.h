#pragma once

#include "app/range_controls.h"
#include "app/wizard_flow.h"

namespace quarry::app {

// Shows or hides the controls of each wizard screen as one group.
class ScreenGroups {
public:
    explicit ScreenGroups(const Ui::MainWindow& ui) : ui_(ui) {}

    void media(bool hide) const;
    // Only the group of the chosen criterion is toggled; the other one keeps its state.
    void range(const RangeControls& controls, bool hide) const;
    // Next and Back are disabled while a scan screen is shown.
    void photoScan(bool hide) const;
    void fileTypes(bool hide) const;
    // With the preview of the mode, emptied as the screen is left or entered.
    void fileScan(bool hide, Mode mode) const;

private:
    const Ui::MainWindow& ui_;
};

} // namespace quarry::app
