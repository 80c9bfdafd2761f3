#include "app/dialogs.h"
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

    nsMutaryOfDataObject_.clear();
    getVolumeToFSGetInfo();
    reloadTable(ui_->idTableView);

    LoadDisk_Window->hide();
    ui_->controlPanel->raise();
    window_->activateWindow();
}

void MyTableController::rebresh_drives(QObject* /*sender*/) {
    Reload_Drive_list_Function();
}

void MyTableController::getVolumeToFSGetInfo() {
    for (media::MyDataObject& record : mediaLister_())
        nsMutaryOfDataObject_.push_back(std::move(record));
    nsMutaryOfDataObject_.insert(nsMutaryOfDataObject_.end(), openedDiskImages_.begin(),
                                 openedDiskImages_.end());
}

void MyTableController::addRow(media::MyDataObject record) {
    nsMutaryOfDataObject_.push_back(std::move(record));
    reloadTable(ui_->idTableView);
}

void MyTableController::deleteSelectedRow(QObject* /*sender*/) {
    const int row = selectedMediaRow();
    if (row < 0 || static_cast<std::size_t>(row) >= nsMutaryOfDataObject_.size())
        return;
    nsMutaryOfDataObject_.erase(nsMutaryOfDataObject_.begin() + row);
    reloadTable(ui_->idTableView);
}

// Inserting at the selection is not offered; the action exists for the menu it belongs to.
void MyTableController::addAtSelectedRow(QObject* /*sender*/) {}

int MyTableController::selectedMediaRow() const {
    const QModelIndexList rows = ui_->idTableView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace quarry::app
