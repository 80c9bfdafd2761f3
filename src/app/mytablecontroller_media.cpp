#include "app/media_screen.h"
#include "app/mytablecontroller.h"

namespace quarry::app {

void MyTableController::Reload_Drive_list_Function() {
    mediaScreen_->reload();
}

void MyTableController::rebresh_drives(QObject* /*sender*/) {
    Reload_Drive_list_Function();
}

void MyTableController::getVolumeToFSGetInfo() {
    mediaScreen_->listMedia();
}

void MyTableController::addRow(media::MyDataObject record) {
    mediaScreen_->addRow(std::move(record));
}

void MyTableController::deleteSelectedRow(QObject* /*sender*/) {
    mediaScreen_->deleteSelectedRow();
}

// Inserting at the selection is not offered; the action exists for the menu it belongs to.
void MyTableController::addAtSelectedRow(QObject* /*sender*/) {}

} // namespace quarry::app
