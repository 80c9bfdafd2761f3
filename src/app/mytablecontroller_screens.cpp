#include "app/dialogs.h"
#include "app/movie_view.h"
#include "app/mytablecontroller.h"
#include "app/range_controls.h"
#include "app/texts.h"
#include "ui_mainwindow.h"

#include <QLabel>
#include <QMainWindow>
#include <QMetaObject>
#include <QThread>

namespace quarry::app {

// Widgets live on the GUI thread; a caller on another thread waits until the work is done.
void MyTableController::runOnGuiThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void MyTableController::show_hide_1_screen(bool hide) {
    runOnGuiThread([this, hide] {
        const Ui::MainWindow& ui = *ui_;
        setHidden({ui.idTableView, ui.idtablesclview, ui._refresh_btn, ui._refresh_Box, ui._refresh_Label,
                   ui._rec_mode_Box, ui._rec_mode_Photo, ui._rec_mode_Video, ui._rec_mode_RawFile},
                  hide);
    });
}

// Only the group of the chosen criterion is toggled; the other one keeps its state.
void MyTableController::show_hide_2_screen(bool hide) {
    runOnGuiThread([this, hide] {
        const RangeControls c = rangeControls();
        if (c.entireDiskChosen())
            setHidden(c.entireDiskGroup, hide);
        else if (c.sectorRangeChosen())
            setHidden(c.sectorRangeGroup, hide);
        setHidden(c.frame, hide);
    });
}

// Next and Back are disabled while a scan screen is shown.
void MyTableController::show_hide_3_screen_Photo(bool hide) {
    runOnGuiThread([this, hide] {
        const Ui::MainWindow& ui = *ui_;
        setHidden({ui.idImagesclview, ui.imageBrowser, ui._Progress_Horz, ui._sector_label, ui._Mode_label,
                   ui._stop_scan},
                  hide);
        ui._next_btn->setEnabled(hide);
        ui._back_btn->setEnabled(hide);
    });
}

void MyTableController::show_hide_3_screen_RawFile(bool hide) {
    runOnGuiThread([this, hide] {
        const Ui::MainWindow& ui = *ui_;
        setHidden(
            {ui.idCheckTableView, ui.idChecktablesclview, ui._select_unselect_Chk, ui._Thro_Mode_Chk_SIG},
            hide);
    });
}

// Leaving or entering the screen also empties the preview of the current mode.
void MyTableController::show_hide_4_screen_RawFile(bool hide) {
    runOnGuiThread([this, hide] {
        const Ui::MainWindow& ui = *ui_;
        setHidden({ui._open_folder_Sig, ui._Progress_Horz, ui._sector_label, ui._Mode_label, ui._stop_scan,
                   ui.idImagesclview_2, ui.imageBrowser_2, ui._QuickLook_View_Box},
                  hide);
        ui._next_btn->setEnabled(hide);
        ui._back_btn->setEnabled(hide);
        if (Recovery_MODE == kVideoMode) {
            ui.mMovieView->setHidden(hide);
            closemovie_Win();
        } else if (Recovery_MODE == kRawFileMode) {
            ui._QuickLook_View->setHidden(hide);
            ui._QuickLook_View->clear();
        }
    });
}

void MyTableController::finishScanOnGuiThread() {
    const Ui::MainWindow& ui = *ui_;
    scanControl().stop_now = 1;
    ui._help_info->setText(texts::kAfterScanHelp);
    pFile_Disk.reset();
    pFile_op.reset();
    setHidden({ui._ClearThumbnail_Label, ui._Mode_label, ui._Progress_Horz, ui._sector_label, ui._stop_scan},
              true);

    const bool photo = Recovery_MODE == kPhotoMode;
    QDialog& information = photo ? static_cast<QDialog&>(*SaveFile_Info_Window)
                                 : static_cast<QDialog&>(*SaveFile_Info_For_RAW_Window);
    prompter_->runModal(information);
    information.hide();
    scanControl().stop_now = 0;

    if (photo) {
        setHidden({ui._zoom_label, ui._zoom_slider, ui._open_folder}, false);
    } else {
        setHidden({ui._zoom_label, ui._zoom_slider}, true);
        ui._open_folder_Sig->show();
    }
    ui._back_btn->setEnabled(true);
    ui._browse_path->setEnabled(true);
    ui._Thro_Mode_Chk->setEnabled(true);
    showScanEnd();
}

} // namespace quarry::app
