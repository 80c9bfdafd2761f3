#include "app/mytablecontroller.h"

#include "app/check_list_model.h"
#include "app/dialogs.h"
#include "app/found_groups_model.h"
#include "app/keyboard.h"
#include "app/media_screen.h"
#include "app/media_table_model.h"
#include "app/range_screen.h"
#include "app/results_panel.h"
#include "app/scan_session.h"
#include "app/scan_status_line.h"
#include "app/screen_groups.h"
#include "app/session_settings.h"
#include "app/signature_choice.h"
#include "app/table_filters.h"
#include "app/texts.h"
#include "app/window_style.h"
#include "carving/ui/scan_progress.h"
#include "carving/ui/scanbridge.h"
#include "results/ui/document_viewer.h"
#include "results/ui/recovery_writer.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileSystemModel>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>

namespace quarry::app {

MyTableController::MyTableController(std::string resourceFolder, std::shared_ptr<Prompter> prompter)
    : resourceFolder_(std::move(resourceFolder)), prompter_(std::move(prompter)),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      window_(std::make_unique<QMainWindow>()), ui_(std::make_unique<Ui::MainWindow>()),
      settings_(std::make_unique<SessionSettings>()), sourceOpener_(&carving::openFileSource),
      terminator_([] { QCoreApplication::quit(); }) {
    ui_->setupUi(window_.get());
    screens_ = std::make_unique<ScreenGroups>(*ui_);
    rangeScreen_ = std::make_unique<RangeScreen>(*ui_, [this](const Alert& shown) { return alert(shown); });
    signatures_ = std::make_unique<SignatureChoice>();
    LoadDisk_Window = std::make_unique<LoadDrive_Modeless>(ui_->controlPanel);
    BrowseInfo_Window = std::make_unique<Browse_Info>(ui_->controlPanel);
    ClearPreview_Window = std::make_unique<ClearPreview_Modeless>(ui_->controlPanel);
    SaveFile_Info_Window = std::make_unique<SaveFile_Info>(window_.get());
    SaveFile_Info_For_RAW_Window = std::make_unique<SaveFile_Info_For_RAW>(window_.get());
    setUpTables();
    setUpScanBridge();
    setUpRecovery();
    setUpChooseControls();
    connectActions();
    window_->installEventFilter(this);
    setUpDestinationField();
    setUpRecentImages();
    setUpKeyboard();
}

MyTableController::~MyTableController() {
    shutDownScan();
    panel_->preview().stop();
    settings_->setGeometry(window_->saveGeometry());
    settings_->setThumbnailSize(ui_->_zoom_slider->value());
}

void MyTableController::setSettingsFile(const QString& file) {
    settings_ = std::make_unique<SessionSettings>(file);
    refreshRecentImages();
}

void MyTableController::setMediaLister(MediaLister lister) {
    mediaScreen_->setLister(std::move(lister));
}

void MyTableController::setUrlOpener(UrlOpener opener) {
    urlOpener_ = std::move(opener);
}

void MyTableController::setFolderChooser(FolderChooser chooser) {
    folderChooser_ = std::move(chooser);
}

void MyTableController::setSourceOpener(SourceOpener opener) {
    sourceOpener_ = std::move(opener);
}

void MyTableController::setTerminator(Terminator terminator) {
    terminator_ = std::move(terminator);
}

QMainWindow* MyTableController::window() const {
    return window_.get();
}
QWidget* MyTableController::controlPanel() const {
    return ui_->controlPanel;
}
QTableView* MyTableController::idTableView() const {
    return ui_->idTableView;
}
QTableView* MyTableController::idCheckTableView() const {
    return ui_->idCheckTableView;
}
QTableView* MyTableController::idSigTableView() const {
    return ui_->idSigTableView;
}

const std::vector<media::MyDataObject>& MyTableController::nsMutaryOfDataObject() const {
    return mediaScreen_->model().records();
}

void MyTableController::setNsMutaryOfDataObject(std::vector<media::MyDataObject> records) {
    mediaScreen_->model().setRecords(std::move(records));
}

signatures::CheckList& MyTableController::nsCheckedListDataObject() {
    return checkListModel_->rows();
}

void MyTableController::setNsCheckedListDataObject(signatures::CheckList rows) {
    checkListModel_->setRows(std::move(rows));
}

carving::FoundFileGroups& MyTableController::nsSIGFileInfoDataObject() {
    return groupsModel_->groups();
}

const signatures::SignatureLists& MyTableController::signatureLists() const {
    return signatures_->lists();
}

void MyTableController::awakeFromNib() {
    applyWindowBackground(*window_);
    window_->restoreGeometry(settings_->geometry());
    ui_->controlPanel->raise();
    window_->show();
    window_->raise();
    window_->activateWindow();

    ui_->_Thro_Mode_Chk->setChecked(true);
    wizard_.setMode(Mode::Photo);
    ui_->_help_info->setText(texts::kMediaScreenHelp);

    const QString captions[] = {QStringLiteral("Disk\t\t\t\t:"),     QStringLiteral("Volume Name\t:"),
                                QStringLiteral("File System\t\t:"),  QStringLiteral("Capacity (size)\t:"),
                                QStringLiteral("Start Sector\t\t:"), QStringLiteral("End Sector\t\t:")};
    QLabel* const photoCaptions[] = {ui_->_disk,
                                     ui_->_vol_name,
                                     ui_->_file_system,
                                     ui_->_size,
                                     ui_->_start_sector_entire,
                                     ui_->_end_sector_entire};
    QLabel* const sigCaptions[] = {ui_->_disk_Sig,
                                   ui_->_vol_name_Sig,
                                   ui_->_file_system_Sig,
                                   ui_->_size_Sig,
                                   ui_->_start_sector_entire_Sig,
                                   ui_->_end_sector_entire_Sig};
    for (std::size_t i = 0; i < std::size(captions); ++i)
        photoCaptions[i]->setText(captions[i]);
    ui_->_sector_label->setText(QStringLiteral("Sectors 0 of 0"));
    for (std::size_t i = 0; i < std::size(captions); ++i)
        sigCaptions[i]->setText(captions[i]);
    for (std::size_t i = 0; i < std::size(captions); ++i) {
        for (QLabel* caption : {photoCaptions[i], sigCaptions[i]})
            caption->setAccessibleName(captions[i].section(QLatin1Char('\t'), 0, 0));
    }

    setNsMutaryOfDataObject({});
    setNsCheckedListDataObject({});
    groupsModel_->groups().clear();
    groupsModel_->reload();

    Reload_Drive_list_Function();
    setUpImageBrowsers();
    loadSignatureLists();
    panel_->readPlaceholderImage(resourceFolder_);
    ui_->_Progress_Horz->setValue(0);
    restoreSettings();
}

void MyTableController::loadSignatureLists() {
    signatures_->load(resourceFolder_);
}

// Every control calls its action with itself as the sender.
void MyTableController::connectActions() {
    Ui::MainWindow& ui = *ui_;
    const auto onClick = [this](QAbstractButton* button, void (MyTableController::*action)(QObject*)) {
        connect(button, &QAbstractButton::clicked, this, [this, button, action] { (this->*action)(button); });
    };
    onClick(ui._next_btn, &MyTableController::Next_btn);
    onClick(ui._back_btn, &MyTableController::Back_btn);
    onClick(ui._rec_mode_Photo, &MyTableController::Photo_Mode_Radio);
    onClick(ui._rec_mode_Video, &MyTableController::Video_Mode_Radio);
    onClick(ui._rec_mode_RawFile, &MyTableController::RawFile_Mode_Radio);
    onClick(ui._refresh_btn, &MyTableController::rebresh_drives);
    onClick(ui._help_btn, &MyTableController::Help_btn);
    onClick(ui._about_btn, &MyTableController::About_btn);
    onClick(ui._entire_disk_rd, &MyTableController::Entire_Disk_Radio);
    onClick(ui._entire_disk_rd_Sig, &MyTableController::Entire_Disk_Radio_Sig);
    onClick(ui._sector_range_rd, &MyTableController::Sector_Range_Radio);
    onClick(ui._sector_range_rd_Sig, &MyTableController::Sector_Range_Radio_Sig);

    const auto onSlide = [this](SectorSlider* slider, void (MyTableController::*action)(QObject*)) {
        connect(slider, &SectorSlider::sectorValueMoved, this,
                [this, slider, action] { (this->*action)(slider); });
    };
    onSlide(ui._Start_Slider, &MyTableController::DO_Start_slider);
    onSlide(ui._End_Slider, &MyTableController::DO_End_slider);
    onSlide(ui._Start_Slider_Sig, &MyTableController::DO_Start_slider_Sig);
    onSlide(ui._End_Slider_Sig, &MyTableController::DO_End_slider_Sig);

    for (QLineEdit* field :
         {ui._Start_slider_val, ui._End_slider_val, ui._Start_slider_val_Sig, ui._End_slider_val_Sig})
        connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });

    for (QTableView* table : {ui.idTableView, ui.idCheckTableView, ui.idSigTableView}) {
        connect(table, &QTableView::clicked, this,
                [this, table](const QModelIndex& index) { clickTable(table, index.column()); });
    }

    onClick(ui._stop_scan, &MyTableController::stop_usb_disk);
    onClick(ui._exit_btn, &MyTableController::Exit_Btn);
    onClick(ui._browse_path, &MyTableController::Browse_Path);
    onClick(ui._browse_path_Sig, &MyTableController::Browse_Path_Sig);
    onClick(ui._select_unselect_Chk, &MyTableController::Select_Unselect_Check_btn);
    onClick(ui._Thro_Mode_Chk_SIG, &MyTableController::Thro_Mode_Chk_SIG_Btn);
    connect(ui._zoom_slider, &QSlider::valueChanged, this,
            [this] { zoomSliderDidChange(ui_->_zoom_slider); });
    QAbstractSlider* scroller = ui.imageBrowser->verticalScrollBar();
    connect(scroller, &QAbstractSlider::actionTriggered, this,
            [this, scroller](int action) { scrollerAction(scroller, action); });
}

// The window shows the screen it is on before an alert is put over it.
int MyTableController::alert(const Alert& alert) {
    window_->repaint();
    return prompter_->alert(window_.get(), alert);
}

} // namespace quarry::app
