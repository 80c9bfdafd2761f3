#include "app/keyboard.h"
#include "app/mytablecontroller.h"
#include "ui_mainwindow.h"

#include <QMainWindow>
#include <QShortcut>

namespace quarry::app {

// Return is Next and Escape is Back wherever the button can be pressed; Tab leaves a table
// instead of walking its cells; Space ticks or unticks the current file type.
void MyTableController::setUpKeyboard() {
    Ui::MainWindow& ui = *ui_;
    const auto press = [this](const QKeySequence& key, QAbstractButton* button) {
        shortcuts_.push_back(std::make_unique<QShortcut>(key, window_.get()));
        connect(shortcuts_.back().get(), &QShortcut::activated, button, &QAbstractButton::click);
    };
    press(Qt::Key_Return, ui._next_btn);
    press(Qt::Key_Enter, ui._next_btn);
    press(Qt::Key_Escape, ui._back_btn);
    spaceTicksType_ =
        std::make_unique<KeyAction>(*ui.idCheckTableView, Qt::Key_Space, [this] { toggleCurrentType(); });

    for (QAbstractItemView* view :
         std::initializer_list<QAbstractItemView*>{ui.idTableView, ui.idCheckTableView, ui.idSigTableView})
        view->setTabKeyNavigation(false);

    ui.idTableView->setAccessibleName(tr("Storage media"));
    ui.idCheckTableView->setAccessibleName(tr("File types"));
    ui.idSigTableView->setAccessibleName(tr("Files found by type"));
    ui.imageBrowser->setAccessibleName(tr("Found photos"));
    ui.imageBrowser_2->setAccessibleName(tr("Found files"));
    for (SectorSlider* slider : {ui._Start_Slider, ui._Start_Slider_Sig})
        slider->setAccessibleName(tr("Start sector"));
    for (SectorSlider* slider : {ui._End_Slider, ui._End_Slider_Sig})
        slider->setAccessibleName(tr("End sector"));
    ui._zoom_slider->setAccessibleName(tr("Thumbnail size"));
    ui._Thro_Mode_Chk->setAccessibleName(ui._Thro_Mode_Chk_Label->text());
    ui._path->setAccessibleName(ui._path_label->text());
    ui._path_Sig->setAccessibleName(ui._path_label_Sig->text());

    assignMnemonics(*window_,
                    {QStringLiteral("_next_btn"), QStringLiteral("_back_btn"), QStringLiteral("_exit_btn"),
                     QStringLiteral("_help_btn"), QStringLiteral("_about_btn")});
    applyFocusStyle(*window_);
}

// As a click on the row's check box: the select-all box follows.
void MyTableController::toggleCurrentType() {
    QTableView& table = *ui_->idCheckTableView;
    const QModelIndex current = table.currentIndex();
    if (!current.isValid())
        return;
    const QModelIndex box = current.siblingAtColumn(0);
    const bool ticked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    table.model()->setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    clickTable(&table, 0);
}

} // namespace quarry::app
