#include "app/mytablecontroller.h"
#include "app/range_screen.h"
#include "range/sector_range.h"

namespace quarry::app {

RangeControls MyTableController::rangeControls() const {
    return rangeControls(!wizard_.photo());
}

RangeControls MyTableController::rangeControls(bool sigVariant) const {
    return rangeScreen_->controls(sigVariant);
}

void MyTableController::Entire_Disk_Radio(QObject* /*sender*/) {
    rangeScreen_->chooseEntireDisk(false);
}
void MyTableController::Entire_Disk_Radio_Sig(QObject* /*sender*/) {
    rangeScreen_->chooseEntireDisk(true);
}
void MyTableController::Sector_Range_Radio(QObject* /*sender*/) {
    rangeScreen_->chooseSectorRange(false);
}
void MyTableController::Sector_Range_Radio_Sig(QObject* /*sender*/) {
    rangeScreen_->chooseSectorRange(true);
}

void MyTableController::DO_Start_slider(QObject* /*sender*/) {
    rangeScreen_->showSliderValue(false, true);
}
void MyTableController::DO_End_slider(QObject* /*sender*/) {
    rangeScreen_->showSliderValue(false, false);
}
void MyTableController::DO_Start_slider_Sig(QObject* /*sender*/) {
    rangeScreen_->showSliderValue(true, true);
}
void MyTableController::DO_End_slider_Sig(QObject* /*sender*/) {
    rangeScreen_->showSliderValue(true, false);
}

void MyTableController::controlTextDidChange(QObject* field) {
    rangeScreen_->fieldEdited(field);
}

bool MyTableController::Check_For_Valid_Sec(const QString& text) const {
    return range::Check_For_Valid_Sec(text.toStdString());
}

} // namespace quarry::app
