#include "app/check_list_model.h"
#include "app/mytablecontroller.h"
#include "ui_mainwindow.h"

#include <QMainWindow>

namespace quarry::app {

// Every row takes the box's state; order and texts stay.
void MyTableController::Select_Unselect_Check_btn(QObject* /*sender*/) {
    signatures::selectAll(checkListModel_->rows(), ui_->_select_unselect_Chk->isChecked() ? 1 : 0);
    checkListModel_->reload();
}

// The box is read where the thorough pass is decided: at confirmation and by the engine.
void MyTableController::Thro_Mode_Chk_SIG_Btn(QObject* /*sender*/) {}

} // namespace quarry::app
