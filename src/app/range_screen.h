#pragma once

#include "app/prompter.h"
#include "app/range_controls.h"
#include "media/media_record.h"

#include <QString>
#include <functional>

class QObject;

namespace quarry::app {

// The scan-range screen in both its variants (photo, and the _Sig twins of video and raw file):
// the criterion radios, the sector sliders and their fields, and the check of a typed range.
class RangeScreen {
public:
    using AlertShower = std::function<int(const Alert&)>;

    RangeScreen(const Ui::MainWindow& ui, AlertShower alert);

    RangeControls controls(bool sigVariant) const;

    // Entire disk chosen, the medium's values shown, both ranges over the whole medium.
    void enter(const media::MyDataObject& record, bool sigVariant) const;
    void chooseEntireDisk(bool sigVariant) const;
    // Choosing the range, even again, resets both ends to the whole medium.
    void chooseSectorRange(bool sigVariant) const;
    // A slider was moved: its field shows the sector.
    void showSliderValue(bool sigVariant, bool start) const;
    // A range field was edited; any other object is ignored.
    void fieldEdited(const QObject* field) const;
    // The typed range is usable; otherwise it is alerted and its faulty field takes the focus.
    bool validateAtNext(bool sigVariant) const;

private:
    const Ui::MainWindow& ui_;
    AlertShower alert_;
    // The explanation the window's interface file gives above the range.
    QString rangeInfoText_;
};

} // namespace quarry::app
