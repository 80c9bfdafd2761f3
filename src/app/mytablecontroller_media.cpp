#include "app/dialogs.h"
#include "app/media_table_model.h"
#include "app/mytablecontroller.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QMainWindow>

namespace quarry::app {

// The enumeration blocks the event loop, so the sheet is drawn once before it starts.
void MyTableController::Reload_Drive_list_Function() {
    LoadDisk_Window->show();
    LoadDisk_Window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    mediaModel_->setRecords({});
    getVolumeToFSGetInfo();

    LoadDisk_Window->hide();
    ui_->controlPanel->raise();
    window_->activateWindow();
}

void MyTableController::rebresh_drives(QObject* /*sender*/) {
    Reload_Drive_list_Function();
}

// The media of this machine, then the disk images opened in this session.
void MyTableController::getVolumeToFSGetInfo() {
    std::vector<media::MyDataObject> records = mediaLister_();
    records.insert(records.end(), openedDiskImages_.begin(), openedDiskImages_.end());
    mediaModel_->append(std::move(records));
}

void MyTableController::addRow(media::MyDataObject record) {
    mediaModel_->append({std::move(record)});
}

void MyTableController::deleteSelectedRow(QObject* /*sender*/) {
    mediaModel_->removeRecord(selectedMediaRow());
}

// Inserting at the selection is not offered; the action exists for the menu it belongs to.
void MyTableController::addAtSelectedRow(QObject* /*sender*/) {}

int MyTableController::selectedMediaRow() const {
    const QModelIndexList rows = ui_->idTableView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace quarry::app
