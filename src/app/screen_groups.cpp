#include "app/screen_groups.h"

#include "ui_mainwindow.h"

namespace quarry::app {

void ScreenGroups::media(bool hide) const {
    setHidden({ui_.idTableView, ui_.idtablesclview, ui_._refresh_btn, ui_._refresh_Box, ui_._refresh_Label,
               ui_._rec_mode_Box, ui_._rec_mode_Photo, ui_._rec_mode_Video, ui_._rec_mode_RawFile},
              hide);
}

void ScreenGroups::range(const RangeControls& c, bool hide) const {
    if (c.entireDiskChosen())
        setHidden(c.entireDiskGroup, hide);
    else if (c.sectorRangeChosen())
        setHidden(c.sectorRangeGroup, hide);
    setHidden(c.frame, hide);
}

void ScreenGroups::photoScan(bool hide) const {
    setHidden({ui_.idImagesclview, ui_.imageBrowser, ui_._Progress_Horz, ui_._sector_label, ui_._Mode_label,
               ui_._stop_scan},
              hide);
    ui_._next_btn->setEnabled(hide);
    ui_._back_btn->setEnabled(hide);
}

void ScreenGroups::fileTypes(bool hide) const {
    setHidden(
        {ui_.idCheckTableView, ui_.idChecktablesclview, ui_._select_unselect_Chk, ui_._Thro_Mode_Chk_SIG},
        hide);
}

void ScreenGroups::fileScan(bool hide, Mode mode) const {
    setHidden({ui_._open_folder_Sig, ui_._Progress_Horz, ui_._sector_label, ui_._Mode_label, ui_._stop_scan,
               ui_.idImagesclview_2, ui_.imageBrowser_2, ui_._QuickLook_View_Box},
              hide);
    ui_._next_btn->setEnabled(hide);
    ui_._back_btn->setEnabled(hide);
    if (mode == Mode::Video) {
        ui_.mMovieView->setHidden(hide);
    } else if (mode == Mode::RawFile) {
        ui_._QuickLook_View->setHidden(hide);
        ui_._QuickLook_View->clear();
    }
}

} // namespace quarry::app
