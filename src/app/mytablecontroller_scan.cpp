#include "app/dialogs.h"
#include "app/mytablecontroller.h"
#include "app/range_controls.h"
#include "app/results_panel.h"
#include "app/scan_session.h"
#include "app/signature_choice.h"
#include "app/texts.h"
#include "carving/ui/scan_progress.h"
#include "carving/ui/scanbridge.h"
#include "range/sector_range.h"
#include "results/traced_names.h"
#include "results/ui/browser_view.h"
#include "results/ui/images_model.h"
#include "results/ui/item_adder.h"
#include "results/ui/recovery_writer.h"
#include "traces/trace_scanner.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QThread>
#include <chrono>
#include <set>
#include <thread>

namespace quarry::app {
namespace {

const QString kScanningHelp = QStringLiteral(
    "\nTo stop recovery, click on ‘Stop’ Button or please wait for the process to be completed.");
const QString kNoFileSelected = QStringLiteral("No file is selected to preview");

} // namespace

void MyTableController::setUpScanBridge() {
    scanSession_ = std::make_unique<ScanSession>();
    panel_ = std::make_unique<ResultsPanel>(
        *ui_, *window_, *ClearPreview_Window, *scanSession_, resourceFolder_,
        ItemPreview::Hooks{[this] { return openChosenMedium(); }, [this] { return mode(); },
                           [this] { closemovie_Win(); },
                           [this] {
                               Final_or_Stop_Screen();
                           }});

    carving::FoundItemStream& stream = scanBridge().items();
    connect(&stream, &carving::FoundItemStream::passBegan, this,
            [this](carving::PassKind, const QString& label) { onPassBegan(label); });
    connect(&stream, &carving::FoundItemStream::photoItemsReady, this,
            [this](const std::vector<results::MyImageObject>& items) { onPhotoItems(items); });
    connect(&stream, &carving::FoundItemStream::fileItemsReady, this,
            [this](const std::vector<results::MyImageObject>& items) { onFileItems(items); });
    scanBridge().setWorkerFinishedHandler(
        [this](const carving::ScanResult& result) { onScanWorkerFinished(result.status); });
}

carving::ScanBridge& MyTableController::scanBridge() const {
    return scanSession_->bridge();
}

carving::ScanControl& MyTableController::scanControl() const {
    return scanSession_->control();
}

// A worker still running at exit is stopped; what it would still show is dropped.
void MyTableController::shutDownScan() {
    if (!scanSession_)
        return;
    scanSession_->shutDown([] {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
}

std::unique_ptr<carving::SectorSource> MyTableController::openChosenMedium() const {
    return sourceOpener_(media::rawDevicePath(chosenMedium_));
}

// Where a photo scan starts: its screen is shown, then the worker and the progress refresh.
void MyTableController::startScanFromRangeScreen() {
    show_hide_3_screen_Photo(false);
    Photo_Rec_Thread();
    startTimerThread();
}

// What both engines do before reading: the results of the last scan go, the bounds are taken
// from the range controls, and the medium is opened.
void MyTableController::prepareScanStart(bool photo) {
    Ui::MainWindow& ui = *ui_;
    scanSession_->arm();
    panel_->clearForScan(photo);
    if (photo) {
        ui._zoom_slider->setValue(ui._zoom_slider->maximum() / 2);
        results::setZoomValue(ui.imageBrowser, results::kPhotoBrowserZoom);
    } else {
        results::setZoomValue(ui.imageBrowser_2, results::kFileBrowserZoom);
    }
    const QByteArray placeholder = placeholderImage().value_or(QByteArray());
    scanBridge().items().setNullImageData(placeholder);
    scanBridge().items().setMedium(photo ? std::shared_ptr<carving::SectorSource>(openChosenMedium())
                                         : nullptr);
}

range::ScanBounds MyTableController::scanBoundsFromRangeScreen(bool sig, bool progressFromStart) {
    const RangeControls c = rangeControls(sig);
    const range::ScanBounds bounds = range::computeScanBounds(
        c.entireDiskChosen(), c.sectorRangeChosen(), ui_->_sectors_val->text().toStdString(),
        c.startField->text().toStdString(), c.endField->text().toStdString());
    carving::ScanControl& scan = scanControl();
    scan.start_sector = bounds.start_sector;
    scan.end_sector = bounds.end_sector;
    scan.total_sector = bounds.total_sector;
    // The raw engine counts from 0 until its first pass positions the medium.
    scan.for_index = progressFromStart ? bounds.start_sector : 0;
    return bounds;
}

void MyTableController::showScanStarted() {
    Ui::MainWindow& ui = *ui_;
    ui._Thro_Mode_Chk->setEnabled(false);
    ui._browse_path->setEnabled(false);
    ui._Progress_Horz->setValue(0);
    ui._Mode_label->setText(QString::fromUtf8(carving::kGeneralModeLabel));
    ui._help_info->setText(kScanningHelp);
}

void MyTableController::Photo_Rec_Thread() {
    prepareScanStart(true);
    Ui::MainWindow& ui = *ui_;
    const range::ScanBounds bounds = scanBoundsFromRangeScreen(false, true);
    std::unique_ptr<carving::SectorSource> source = openChosenMedium();
    if (source)
        showScanStarted();
    carving::ScanRequest request;
    request.start_sector = bounds.start_sector;
    request.end_sector = bounds.end_sector;
    request.general = &signatureLists().Ext_Array;
    request.thorough = &signatureLists().Adv_Ext_Array;
    request.thoroughPass = ui._Thro_Mode_Chk->isChecked();
    request.observer = scanSession_->beginTracing(source.get());
    scanBridge().startPhotoScan(std::move(source), request, scanSession_->photoCounters());
}

void MyTableController::Raw_File_Rec_Thread() {
    prepareScanStart(false);
    Ui::MainWindow& ui = *ui_;
    const range::ScanBounds bounds = scanBoundsFromRangeScreen(true, false);
    std::unique_ptr<carving::SectorSource> source = openChosenMedium();
    if (source) {
        ui._QuickLook_View_Box->setTitle(kNoFileSelected);
        showScanStarted();
    }
    carving::ScanRequest request;
    request.start_sector = bounds.start_sector;
    request.end_sector = bounds.end_sector;
    request.general = &signatures_->chosenGeneral();
    request.thorough = &signatures_->chosenThorough();
    request.thoroughPass = ui._Thro_Mode_Chk_SIG->isChecked();
    request.observer = scanSession_->beginTracing(source.get());
    scanBridge().startRawScan(std::move(source), request, nsSIGFileInfoDataObject());
}

void MyTableController::startTimerThread() {
    scanSession_->startProgress(ui_->_sector_label, ui_->_Progress_Horz);
}

void MyTableController::timerTickSetLabel() {
    scanSession_->tickProgress();
}

// The timer is stopped with one last tick, which shows where a stopped scan ended.
// Queued without waiting, so a worker never waits here for a GUI thread busy with a preview;
// the tick still comes before any end step the worker asks for afterwards.
void MyTableController::invalidateProgressTimer() {
    const auto invalidate = [this] {
        scanSession_->stopProgress();
    };
    if (QThread::currentThread() == thread())
        invalidate();
    else
        QMetaObject::invokeMethod(this, invalidate, Qt::QueuedConnection);
}

// A pass begins: its procedure is named and the progress starts again from the range start.
void MyTableController::onPassBegan(const QString& modeLabel) {
    ui_->_Mode_label->setText(modeLabel);
    scanSession_->restartProgressForPass();
}

void MyTableController::onPhotoItems(std::vector<results::MyImageObject> items) {
    panel_->itemAdder().appendPhotoItems(std::move(items));
    scanSession_->setAddedItemCount(panel_->itemAdder().addedItemCount());
}

void MyTableController::onFileItems(std::vector<results::MyImageObject> items) {
    panel_->itemAdder().appendFileItems(std::move(items));
    scanSession_->setAddedItemCount(panel_->itemAdder().addedItemCount());
    reloadTable(ui_->idSigTableView);
}

// Worker thread: the source is closed and every item is on its way to the browser.
void MyTableController::onScanWorkerFinished(carving::ScanStatus status) {
    if (scanSession_->shuttingDown())
        return;
    switch (status) {
    case carving::ScanStatus::OpenFailure:
        runOnGuiThread([this] { returnAfterOpenFailure(); });
        return;
    case carving::ScanStatus::Stopped:
        showTracedNames();
        invalidateProgressTimer();
        Final_or_Stop_Screen();
        return;
    case carving::ScanStatus::Complete:
        break;
    }
    showTracedNames();
    invalidateProgressTimer();
    if (mode() == Mode::Photo) {
        Final_or_Stop_Screen();
        return;
    }
    // A preview copying sectors now ends its copy and runs the end step itself.
    if (scanSession_->endsWithoutPreview())
        Final_or_Stop_Screen();
}

// Worker thread: the scan has ended, so its traces are complete. The names reach the browser
// after its last items.
void MyTableController::showTracedNames() {
    const auto traces = scanSession_->finishTracing();
    if (!traces)
        return;
    if (recovery_)
        recoveryWriter().nameFromTraces(traces);
    QMetaObject::invokeMethod(
        this,
        [this, traces] {
            if (mode() == Mode::RawFile)
                listFoundByName(*traces);
            images().setOriginalNames([&traces](std::uint64_t sector) {
                const traces::TracedFile* file = traces->fileStartingAt(sector);
                if (file == nullptr)
                    return QString();
                const std::string path = results::tracedPath(*file);
                return QString::fromStdString(path.empty() ? file->name : path + "/" + file->name);
            });
        },
        Qt::QueuedConnection);
}

// Raw-file mode, after the scan: the files that only their traces know of (no item starts
// where they do) are listed as a group of their own, each as its first piece.
void MyTableController::listFoundByName(const traces::TraceCatalog& traces) {
    std::set<std::uint64_t> itemStarts;
    for (int row = 0; row < images().numberOfItems(); ++row)
        itemStarts.insert(images().itemAtIndex(row).File_Start_Sector);
    std::vector<results::MyImageObject> items;
    for (const traces::TracedFile& file : traces.files()) {
        const std::uint64_t start = file.firstSector();
        if (file.extents.empty() || itemStarts.count(start) > 0 || traces.fileStartingAt(start) != &file)
            continue;
        auto item = results::makeFileItem(QString::fromStdString(file.name),
                                          QStringLiteral("TRACE%1").arg(items.size() + 1), start,
                                          start + file.extents.front().count);
        if (item)
            items.push_back(std::move(*item));
    }
    if (items.empty())
        return;
    const std::string latest = items.back().image_Name.toStdString();
    nsSIGFileInfoDataObject().createSignatureListTableRecord(results::kFoundByNameFolder, items.size(),
                                                             latest, latest, results::kFoundByNameFolder);
    onFileItems(std::move(items));
}

// The medium could not be opened: the wizard goes back one screen.
void MyTableController::returnAfterOpenFailure() {
    Ui::MainWindow& ui = *ui_;
    scanSession_->disarm();
    wizard_.setStep(wizard_.step() - 1);
    invalidateProgressTimer();
    if (mode() == Mode::Photo) {
        show_hide_2_screen(false);
        show_hide_3_screen_Photo(true);
    } else {
        show_hide_3_screen_RawFile(false);
        show_hide_4_screen_RawFile(true);
    }
    ui._open_folder->hide();
    resetScanCounters();
    alert({texts::kMediumUnreadable});
}

void MyTableController::resetScanCounters() {
    scanControl().stop_now = 0;
    scanSession_->setAddedItemCount(0);
    panel_->itemAdder().setAddedItemCount(0);
}

void MyTableController::armEndOfScanStep() {
    scanSession_->arm();
}

// Runs once per scan, however many of the engine and the preview ask for it.
void MyTableController::Final_or_Stop_Screen() {
    if (!scanSession_->takeEndStep())
        return;
    runOnGuiThread([this] { finishScanOnGuiThread(); });
}

} // namespace quarry::app
