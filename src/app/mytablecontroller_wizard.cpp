#include "app/check_list_model.h"
#include "app/found_groups_model.h"
#include "app/media_screen.h"
#include "app/mytablecontroller.h"
#include "app/range_screen.h"
#include "app/screen_groups.h"
#include "app/session_settings.h"
#include "app/signature_choice.h"
#include "app/texts.h"
#include "results/ui/browser_view.h"
#include "results/ui/images_model.h"
#include "ui_mainwindow.h"

#include <QHeaderView>
#include <QMainWindow>

namespace quarry::app {
namespace {

QString searchTypeText(Mode mode) {
    switch (mode) {
    case Mode::Video:
        return QStringLiteral("Search Type : Recover Video");
    case Mode::RawFile:
        return QStringLiteral("Search Type : Recover Raw File");
    default:
        return QStringLiteral("Search Type : Recover Photo");
    }
}

const QString kSelectExtension = QStringLiteral("\nPlease select atleast one extension type.");
const QString kOnlyThoroughTypes =
    QStringLiteral("\nThe checked file types are found only by the thorough scanning algorithm. Turn on "
                   "‘Thorough scanning algorithm’ or check other types.");

} // namespace

void MyTableController::Next_btn(QObject* /*sender*/) {
    switch (wizard_.onNext()) {
    case WizardFlow::Move::LeaveMedia:
        nextFromMediaScreen();
        break;
    case WizardFlow::Move::LeaveRange:
        nextFromRangeScreen();
        break;
    case WizardFlow::Move::LeaveFileTypes:
        nextFromFileTypeScreen();
        break;
    default:
        break;
    }
}

void MyTableController::Back_btn(QObject* /*sender*/) {
    switch (wizard_.onBack()) {
    case WizardFlow::Move::BackToMedia:
        backToMediaScreen();
        break;
    case WizardFlow::Move::BackToRange:
        backToRangeScreen();
        break;
    case WizardFlow::Move::BackToFileTypes:
        backToFileTypeScreen();
        break;
    default:
        break;
    }
}

// The mode's radio alone is ticked.
void MyTableController::Photo_Mode_Radio(QObject* /*sender*/) {
    wizard_.setMode(Mode::Photo);
    ui_->_rec_mode_Photo->setChecked(true);
    ui_->_rec_mode_Video->setChecked(false);
    ui_->_rec_mode_RawFile->setChecked(false);
}

void MyTableController::Video_Mode_Radio(QObject* /*sender*/) {
    wizard_.setMode(Mode::Video);
    ui_->_rec_mode_Video->setChecked(true);
    ui_->_rec_mode_Photo->setChecked(false);
    ui_->_rec_mode_RawFile->setChecked(false);
}

void MyTableController::RawFile_Mode_Radio(QObject* /*sender*/) {
    wizard_.setMode(Mode::RawFile);
    ui_->_rec_mode_RawFile->setChecked(true);
    ui_->_rec_mode_Photo->setChecked(false);
    ui_->_rec_mode_Video->setChecked(false);
}

void MyTableController::nextFromMediaScreen() {
    const int row = mediaScreen_->selectedRow();
    if (row < 0) {
        alert({texts::kSelectMedia});
        return;
    }
    const std::vector<media::MyDataObject>& listed = nsMutaryOfDataObject();
    if (static_cast<std::size_t>(row) >= listed.size())
        return;
    const media::MyDataObject record = listed[static_cast<std::size_t>(row)];
    chosenMedium_ = record;

    wizard_.setStep(1);
    rangeScreen_->enter(record, !wizard_.photo());
    // Both fields: saving reads the photo one whatever the mode, and the screen shows only one.
    ui_->_path->clear();
    ui_->_path_Sig->clear();
    if (wizard_.photo())
        ui_->_Thro_Mode_Chk->setChecked(settings_->thorough());
    settings_->setMode(static_cast<int>(mode()));
    ui_->_Search_Type->setText(searchTypeText(mode()));
    ui_->_Search_Type->show();
    ui_->_back_btn->setEnabled(true);
    show_hide_1_screen(true);
    show_hide_2_screen(false);
}

void MyTableController::nextFromRangeScreen() {
    if (rangeControls().sectorRangeChosen() && !rangeScreen_->validateAtNext(!wizard_.photo()))
        return;
    wizard_.setStep(2);
    ui_->_Thro_Mode_Chk_SIG->setChecked(true);
    ui_->_select_unselect_Chk->setChecked(true);
    show_hide_2_screen(true);
    resetScanCounters();
    if (wizard_.photo())
        startScanFromRangeScreen();
    else
        enterFileTypeScreen();
}

// Every type starts ticked each time the screen is entered from the scan-range screen.
void MyTableController::enterFileTypeScreen() {
    checkListModel_->setRows(signatures_->checkList(mode(), ui_->_Thro_Mode_Chk_SIG->isChecked()));
    // The list holds the thorough-only types either way; the box then shows the kept choice.
    ui_->_Thro_Mode_Chk_SIG->setChecked(settings_->thorough());
    typeSearch_->clear();
    ui_->idCheckTableView->scrollToTop();
    ui_->idCheckTableView->setCurrentIndex(ui_->idCheckTableView->model()->index(0, 0));
    // The descriptions take the room the list has; the other columns fit their texts.
    QHeaderView* header = ui_->idCheckTableView->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(CheckListModel::Extension, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(CheckListModel::Description, QHeaderView::Stretch);
    header->setSectionResizeMode(CheckListModel::Thoro, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(CheckListModel::Category, QHeaderView::ResizeToContents);
    ui_->_help_info->setText(texts::kFileTypeHelp);
    show_hide_3_screen_RawFile(false);
}

// The checked types become the scan's lists and groups; with none checked the screen stays.
void MyTableController::nextFromFileTypeScreen() {
    const signatures::CheckList& rows = checkListModel_->rows();
    const bool nothingToScan =
        signatures_->choose(rows, mode(), ui_->_Thro_Mode_Chk_SIG->isChecked(), groupsModel_->groups());
    groupsModel_->reload();
    if (!signatures::Check_For_One_Extension_Selection(rows)) {
        alert({kSelectExtension});
        ui_->idCheckTableView->setFocus();
        return;
    }
    // Said before a scan that would read the whole range and could find nothing.
    if (nothingToScan) {
        alert({kOnlyThoroughTypes});
        ui_->_Thro_Mode_Chk_SIG->setFocus();
        return;
    }
    wizard_.setStep(3);
    show_hide_3_screen_RawFile(true);
    show_hide_4_screen_RawFile(false);
    Raw_File_Rec_Thread();
    startTimerThread();
}

// The results go; the found counters stay, so the next scan continues the numbering.
void MyTableController::clearFoundItems() {
    images().clear();
}

void MyTableController::backToRangeScreen() {
    Ui::MainWindow& ui = *ui_;
    wizard_.setStep(1);
    const RangeControls c = rangeControls();
    if (c.entireDiskChosen())
        ui._help_info->setText(texts::kEntireDiskHelp);
    else if (c.sectorRangeChosen())
        ui._help_info->setText(texts::kSectorRangeHelp);
    clearFoundItems();
    // The thumbnail size the user chose outlives the scan.
    const int thumbnailSize = ui._zoom_slider->value();
    ui._zoom_slider->setValue(ui._zoom_slider->maximum() / 2);
    results::setZoomValue(ui.imageBrowser, results::kPhotoBrowserZoom);
    ui._zoom_slider->setValue(thumbnailSize);
    ui.imageBrowser->viewport()->update();
    results::setZoomValue(ui.imageBrowser_2, results::kFileBrowserZoom);
    ui.imageBrowser_2->viewport()->update();
    ui._zoom_label->hide();
    ui._zoom_slider->hide();
    show_hide_2_screen(false);
    if (wizard_.photo())
        show_hide_3_screen_Photo(true);
    else
        show_hide_3_screen_RawFile(true);
    ui._open_folder->hide();
    ui._open_folder_Sig->hide();
    resetScanCounters();
}

// The check list keeps its rows and ticks; the groups stay until the next Next rebuilds them.
void MyTableController::backToFileTypeScreen() {
    Ui::MainWindow& ui = *ui_;
    wizard_.setStep(2);
    clearFoundItems();
    results::setZoomValue(ui.imageBrowser_2, results::kFileBrowserZoom);
    ui.imageBrowser_2->viewport()->update();
    ui._open_folder->hide();
    ui._open_folder_Sig->hide();
    ui._help_info->setText(texts::kFileTypeHelp);
    show_hide_4_screen_RawFile(true);
    show_hide_3_screen_RawFile(false);
    resetScanCounters();
}

void MyTableController::backToMediaScreen() {
    Ui::MainWindow& ui = *ui_;
    wizard_.setStep(0);
    ui._Search_Type->hide();
    ui._help_info->setText(texts::kMediaScreenHelp);
    for (QLabel* value :
         {ui._sectors_val, ui._disk_identifier, ui._disk_val, ui._vol_name_val, ui._file_system_val,
          ui._size_val, ui._start_sector_entire_val, ui._end_sector_entire_val, ui._disk_val_Sig,
          ui._vol_name_val_Sig, ui._file_system_val_Sig, ui._size_val_Sig, ui._start_sector_entire_val_Sig,
          ui._end_sector_entire_val_Sig})
        value->setText(texts::kNoValue);
    ui._back_btn->setEnabled(false);
    show_hide_1_screen(false);
    // Hidden while the mode still names the variant on screen.
    show_hide_2_screen(true);
    Photo_Mode_Radio(ui._rec_mode_Photo);
    Reload_Drive_list_Function();
}

} // namespace quarry::app
