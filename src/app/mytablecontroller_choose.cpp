#include "app/choose_bar.h"
#include "app/mytablecontroller.h"
#include "app/range_controls.h"
#include "app/results_panel.h"
#include "app/scan_status_line.h"
#include "carving/ui/scanbridge.h"
#include "media/volume_description.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/thumbnail_loader.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPushButton>

namespace quarry::app {
namespace {

const QString kFolderNotOpened = QStringLiteral("\nThe folder “%1” could not be opened.");

} // namespace

// The filter bar above the browsers, the end-of-scan line under the progress line and
// "Recover Selected…" beside the open-folder buttons; all made here, around the window's own.
void MyTableController::setUpChooseControls() {
    Ui::MainWindow& ui = *ui_;
    filterBar_ = new FilterBar(ui.controlPanel);
    auto* panel = static_cast<QBoxLayout*>(ui.controlPanel->layout());
    panel->insertWidget(panel->indexOf(ui.idImagesclview), filterBar_);
    scanEndBar_ = new ScanEndBar(ui.controlPanel);
    if (auto* progress = window_->findChild<QBoxLayout*>(QStringLiteral("progressLayout")))
        progress->addWidget(scanEndBar_);
    else
        panel->addWidget(scanEndBar_);
    recoverSelected_ = new QPushButton(QStringLiteral("Recover Selected…"), ui.controlPanel);
    recoverSelected_->setObjectName(QStringLiteral("_recover_selected"));
    recoverSelected_->setToolTip(QStringLiteral("Save the selected files that the browser shows"));
    if (auto* footer = window_->findChild<QBoxLayout*>(QStringLiteral("footerLayout")))
        footer->insertWidget(footer->indexOf(ui._open_folder), recoverSelected_);
    statusLine_ = std::make_unique<ScanStatusLine>(*scanEndBar_, scanBridge(), scanControl(), [this] {
        return static_cast<std::uint64_t>(images().numberOfItems());
    });

    connect(filterBar_, &FilterBar::filterChanged, this, [this](const results::ItemFilter& filter) {
        foundItemsFilter().setFilter(filter);
        updateSelectionLine();
    });
    connect(&images(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                QStringList types;
                for (int row = first; row <= last; ++row)
                    types << images().index(row).data(results::ImagesModel::TypeRole).toString();
                types.removeDuplicates();
                filterBar_->addTypes(types);
            });
    connect(recoverSelected_, &QPushButton::clicked, this,
            [this] { Recover_Selected_btn(recoverSelected_); });
    connect(scanEndBar_, &ScanEndBar::resumeRequested, this, [this] { Resume_From_Here_btn(scanEndBar_); });
    connect(scanEndBar_, &ScanEndBar::showFolderRequested, this, [this] { openResultsFolder(savedFolder_); });
    connect(&scanBridge(), &carving::ScanBridge::scanStarting, this, [this] {
        // Thumbnails the scan leaves for later are read through a handle of their own.
        const bool photo = mode() == Mode::Photo;
        panel_->thumbnails().setMedium(photo ? std::shared_ptr<carving::SectorSource>(carving::openFileSource(
                                                   media::rawDevicePath(chosenMedium_)))
                                             : nullptr,
                                       placeholderImage().value_or(QByteArray()));
        filterBar_->reset();
        filterBar_->setPhotoMode(mode() == Mode::Photo);
        scanEndBar_->clear();
        setScanRunning(true);
    });
    // Queued by the worker before it asks for the end-of-scan step, so known when that runs.
    connect(&scanBridge(), &carving::ScanBridge::scanFinished, this, [this](const carving::ScanResult& r) {
        lastScanStatus_ = r.status;
        stoppedAt_ = scanControl().for_index.load();
        stoppedEnd_ = scanControl().end_sector.load();
        if (r.status == carving::ScanStatus::OpenFailure)
            setScanRunning(false);
    });

    for (QWidget* watched : std::initializer_list<QWidget*>{ui.imageBrowser, ui.imageBrowser_2,
                                                            ui._open_folder, ui._open_folder_Sig})
        watched->installEventFilter(this);
    updateChooseVisibility();
}

results::FoundItemsFilter& MyTableController::foundItemsFilter() const {
    return panel_->shown();
}

const std::optional<QByteArray>& MyTableController::placeholderImage() const {
    return panel_->placeholderImage();
}

// The browser of the current mode; the one the user selects in.
QListView* MyTableController::currentBrowser() const {
    return mode() == Mode::Photo ? ui_->imageBrowser : ui_->imageBrowser_2;
}

// The selected items the browser shows, as rows of `images`, in found order.
std::vector<int> MyTableController::selectedFoundRows() const {
    std::vector<int> rows;
    const QItemSelectionModel* selection = currentBrowser()->selectionModel();
    if (!selection)
        return rows;
    for (const QModelIndex& index : selection->selectedIndexes()) {
        const QModelIndex source = foundItemsFilter().mapToSource(index);
        if (source.isValid())
            rows.push_back(source.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MyTableController::updateSelectionLine() {
    const std::vector<int> rows = selectedFoundRows();
    std::uint64_t bytes = 0;
    for (const int row : rows)
        bytes += images().index(row).data(results::ImagesModel::BytesRole).toULongLong();
    filterBar_->setSelection(rows.size(), bytes);
    recoverSelected_->setEnabled(!rows.empty() && !scanRunning_);
}

// The bars go with the scan screens, "Recover Selected…" with the open-folder buttons.
void MyTableController::updateChooseVisibility() {
    const Ui::MainWindow& ui = *ui_;
    const bool browsing = !ui.imageBrowser->isHidden() || !ui.imageBrowser_2->isHidden();
    filterBar_->setHidden(!browsing);
    scanEndBar_->setHidden(!browsing);
    recoverSelected_->setHidden(ui._open_folder->isHidden() && ui._open_folder_Sig->isHidden());
}

// Saving from the medium while the scan reads it is left to the live saving; the buttons
// wait for the end.
void MyTableController::setScanRunning(bool running) {
    scanRunning_ = running;
    ui_->_open_folder->setEnabled(!running);
    ui_->_open_folder_Sig->setEnabled(!running);
    updateSelectionLine();
}

// After the end-of-scan dialog: how the scan ended, in our own words. A stopped scan keeps
// its progress line, which shows the sector reached, and offers to go on from there.
void MyTableController::showScanEnd() {
    statusLine_->stop();
    const auto found = static_cast<std::uint64_t>(images().numberOfItems());
    const bool stopped = lastScanStatus_ == carving::ScanStatus::Stopped && stoppedAt_ < stoppedEnd_;
    const ScanEnd end = stopped ? ScanEnd::Stopped : found == 0 ? ScanEnd::NothingFound : ScanEnd::Complete;
    scanEndBar_->setStatus(scanEndText(end, found, stoppedAt_));
    scanEndBar_->setResumeOffered(stopped);
    ui_->_sector_label->setVisible(stopped);
    setScanRunning(false);
}

void MyTableController::Recover_Selected_btn(QObject* /*sender*/) {
    const std::vector<int> rows = selectedFoundRows();
    if (rows.empty() || scanRunning_)
        return;
    recovery_->recover(rows);
}

// Back to the sector-range screen with the rest of the stopped scan's range filled in.
void MyTableController::Resume_From_Here_btn(QObject* /*sender*/) {
    if (scanRunning_ || stoppedAt_ >= stoppedEnd_)
        return;
    const bool photo = mode() == Mode::Photo;
    for (int step = 0; step < 2 && screen_counter() > 1; ++step)
        Back_btn();
    if (screen_counter() != 1)
        return;
    const RangeControls c = rangeControls(!photo);
    if (photo)
        Sector_Range_Radio();
    else
        Sector_Range_Radio_Sig();
    c.startField->setText(QString::number(stoppedAt_));
    controlTextDidChange(c.startField);
    c.endField->setText(QString::number(stoppedEnd_));
    controlTextDidChange(c.endField);
    c.startField->setFocus();
}

void MyTableController::showSavedLine(std::uint64_t files, std::uint64_t bytes, const QString& folder) {
    savedFolder_ = folder;
    scanEndBar_->setSaved(savedText(files, bytes, folder));
}

// A folder the desktop cannot open is told to the user, who is waiting for it.
bool MyTableController::openResultsFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    if (urlOpener_(QUrl::fromLocalFile(folder)))
        return true;
    alert({kFolderNotOpened.arg(folder)});
    return false;
}

bool MyTableController::watchChooseControls(QObject* watched, QEvent* event) {
    // The window outlives the form: its children still send events while it is destroyed.
    if (!ui_ || (event->type() != QEvent::ShowToParent && event->type() != QEvent::HideToParent))
        return false;
    const Ui::MainWindow& ui = *ui_;
    if (watched != ui.imageBrowser && watched != ui.imageBrowser_2 && watched != ui._open_folder &&
        watched != ui._open_folder_Sig)
        return false;
    updateChooseVisibility();
    return true;
}

} // namespace quarry::app
