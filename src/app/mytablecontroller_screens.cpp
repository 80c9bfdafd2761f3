#include "app/dialogs.h"
#include "app/movie_view.h"
#include "app/mytablecontroller.h"
#include "app/screen_groups.h"
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
    runOnGuiThread([this, hide] { screens_->media(hide); });
}

void MyTableController::show_hide_2_screen(bool hide) {
    runOnGuiThread([this, hide] { screens_->range(rangeControls(), hide); });
}

void MyTableController::show_hide_3_screen_Photo(bool hide) {
    runOnGuiThread([this, hide] { screens_->photoScan(hide); });
}

void MyTableController::show_hide_3_screen_RawFile(bool hide) {
    runOnGuiThread([this, hide] { screens_->fileTypes(hide); });
}

void MyTableController::show_hide_4_screen_RawFile(bool hide) {
    runOnGuiThread([this, hide] {
        screens_->fileScan(hide, mode());
        if (mode() == Mode::Video)
            closemovie_Win();
    });
}

void MyTableController::finishScanOnGuiThread() {
    const Ui::MainWindow& ui = *ui_;
    scanControl().stop_now = 1;
    ui._help_info->setText(texts::kAfterScanHelp);
    setHidden({ui._ClearThumbnail_Label, ui._Mode_label, ui._Progress_Horz, ui._sector_label, ui._stop_scan},
              true);

    const bool photo = wizard_.photo();
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
