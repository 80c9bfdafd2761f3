#include "app/mytablecontroller.h"
#include "app/session_settings.h"
#include "carving/ui/scanbridge.h"
#include "media/block_probe.h"
#include "media/volume_description.h"
#include "results/destination_check.h"
#include "results/saver.h"
#include "results/ui/images_model.h"
#include "results/ui/recovery_progress_dialog.h"
#include "results/ui/recovery_writer.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quarry::app {
namespace {

const QString kMediumUnreadable = QStringLiteral("\nError in storage media reading.");
const QString kSavingStoppedFull =
    QStringLiteral("\nThe destination disk is full. Saving has stopped; the files saved so far are kept.");
const QString kSomeNotSaved =
    QStringLiteral("\n%1 of the found files could not be written into the destination folder.");
const QString kLiveSavingOff = QStringLiteral(
    "\nThe storage media cannot be opened a second time for saving, so found files are not "
    "saved while the scan runs. They can be saved into the destination folder after the scan.");
const QString kCannotWriteDestination =
    QStringLiteral("\nFound files cannot be saved into the destination folder: %1.");
const QString kFileSystemOfImages = QStringLiteral("Disk Image");
const QString kImageWithoutSectors = QStringLiteral(
    "\nThe disk image ‘%1’ is smaller than one sector (512 bytes): there is nothing to search.");

results::SearchKind searchKindOfMode(Mode mode) {
    switch (mode) {
    case Mode::Video:
        return results::SearchKind::Video;
    case Mode::RawFile:
        return results::SearchKind::File;
    default:
        return results::SearchKind::Photo;
    }
}

std::optional<QString> chooseDiskImageWithDialog(QWidget* parent) {
    const QString file = QFileDialog::getOpenFileName(
        parent, QStringLiteral("Open Disk Image"), QString(),
        QStringLiteral("Disk images (*.img *.dd *.bin *.iso *.raw *.dmg);;All files (*)"));
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

// A disk image as a medium, read from its path: its file system and label as a device's are
// probed, else it is a "Disk Image" named by its file.
media::MyDataObject diskImageRecord(const QFileInfo& file, std::uint64_t sectors) {
    const std::uint64_t bytes =
        file.isFile() ? static_cast<std::uint64_t>(file.size()) : sectors * kSectorSize;
    media::MyDataObject record;
    record.nsStrDiskIdentifier = file.fileName().toStdString();
    record.nsStrVolName = file.completeBaseName().toStdString();
    record.nsStrFileSystem = kFileSystemOfImages.toStdString();
    record.nsStrSize = media::getMPSize(std::to_string(bytes));
    record.nsStrSectors = std::to_string(sectors);
    record.sourcePath = file.absoluteFilePath().toStdString();
    if (const auto probe = media::probeBlockDevice(record.sourcePath, false); probe && probe->type) {
        record.nsStrFileSystem = media::fileSystemDisplayName(*probe->type, probe->version.value_or(""));
        if (probe->label && !probe->label->empty())
            record.nsStrVolName = probe->label;
    }
    return record;
}

} // namespace

void MyTableController::setUpRecovery() {
    recoveryWriter_ = std::make_unique<results::RecoveryWriter>();
    destinationChecker_ = [](const std::filesystem::path& destination, const std::string& source) {
        return results::DestinationCheck().refusal(destination, source);
    };
    diskImageChooser_ = &chooseDiskImageWithDialog;
    scanBridge().setExtraSink(recoveryWriter_.get());
    connect(&scanBridge(), &carving::ScanBridge::scanStarting, this, [this] { prepareRecoveryForScan(); });
    connect(recoveryWriter_.get(), &results::RecoveryWriter::liveDestinationFull, this,
            [this] { alert({QString::fromUtf8(results::kDestinationFullAlert)}); });
    connect(recoveryWriter_.get(), &results::RecoveryWriter::itemChecked, this,
            [this](int row, const QString& name, const QString& note, bool copy, int check) {
                images().setItemNote(row, name, note, copy, check);
            });

    Ui::MainWindow& ui = *ui_;
    // The two destination boxes show one choice, as their path fields show one folder.
    connect(ui._keep_rejected_Chk, &QAbstractButton::toggled, ui._keep_rejected_Chk_Sig,
            &QAbstractButton::setChecked);
    connect(ui._keep_rejected_Chk_Sig, &QAbstractButton::toggled, ui._keep_rejected_Chk,
            &QAbstractButton::setChecked);
    connect(ui._open_folder, &QAbstractButton::clicked, this, [this] { Open_Folder_btn(ui_->_open_folder); });
    connect(ui._open_folder_Sig, &QAbstractButton::clicked, this,
            [this] { Open_Folder_btn_Sig(ui_->_open_folder_Sig); });
    connect(ui._open_image_btn, &QAbstractButton::clicked, this,
            [this] { Open_Image_btn(ui_->_open_image_btn); });
}

void MyTableController::setDestinationChecker(DestinationChecker checker) {
    destinationChecker_ = std::move(checker);
}

void MyTableController::setDiskImageChooser(DiskImageChooser chooser) {
    diskImageChooser_ = std::move(chooser);
}

results::RecoveryWriter& MyTableController::recoveryWriter() const {
    return *recoveryWriter_;
}

// A destination on the medium being rescued could overwrite what is to be recovered.
bool MyTableController::refuseUnsafeDestination(const std::filesystem::path& destination,
                                                results::SearchKind kind, const std::string& source) {
    auto refusal = destinationChecker_(results::resultsFolder(destination, kind), source);
    // Found out now, not after every item of a long scan has failed to be written.
    if (!refusal) {
        if (const auto why = results::ItemSaver(destination, kind).prepareDestination(); !why.empty())
            refusal = kCannotWriteDestination.arg(QString::fromStdString(why)).toStdString();
    }
    if (!refusal)
        return false;
    ui_->_path->clear();
    ui_->_path_Sig->clear();
    alert({QString::fromStdString(*refusal)});
    return true;
}

// As a scan starts: with a destination chosen, every item is saved as it is handed over.
void MyTableController::prepareRecoveryForScan() {
    const results::SearchKind kind = searchKindOfMode(mode());
    const std::string source = media::rawDevicePath(chosenMedium_);
    const QString folder = ui_->_path->text();
    std::optional<std::filesystem::path> live;
    if (!folder.isEmpty() && !refuseUnsafeDestination(folder.toStdString(), kind, source))
        live = std::filesystem::path(folder.toStdString());
    recoveryWriter_->setKeepRejected(ui_->_keep_rejected_Chk->isChecked());
    if (!recoveryWriter_->beginScan(source, kind, live))
        alert({kLiveSavingOff});
}

void MyTableController::Open_Folder_btn(QObject* sender) {
    recoverFoundItems(sender);
}

void MyTableController::Open_Folder_btn_Sig(QObject* sender) {
    recoverFoundItems(sender);
}

// Saves the found items not saved yet (all, or those of `rows`), tells where they went, and
// after the open-folder buttons shows the results folder.
void MyTableController::recoverFoundItems(QObject* sender, const std::optional<std::vector<int>>& rows) {
    if (ui_->_path->text().isEmpty())
        Browse_Path(sender);
    const QString folder = ui_->_path->text();
    if (folder.isEmpty())
        return;
    const std::filesystem::path destination = folder.toStdString();
    const results::SearchKind kind = recoveryWriter_->scannedKind();
    if (refuseUnsafeDestination(destination, kind, recoveryWriter_->scannedSource()))
        return;

    recoveryWriter_->setKeepRejected(ui_->_keep_rejected_Chk->isChecked());
    const results::RecoveryProgress start = recoveryWriter_->recoverUnsaved(destination, rows);
    if (start.totalFiles > 0)
        runRecoveryProgress(start);
    const results::RecoveryOutcome outcome = recoveryWriter_->waitForBatch();
    if (outcome.sourceUnreadable) {
        alert({kMediumUnreadable});
        return;
    }
    if (outcome.destinationFull)
        alert({kSavingStoppedFull});
    else if (outcome.failed > 0)
        alert({kSomeNotSaved.arg(outcome.failed)});

    const std::filesystem::path results = results::resultsFolder(destination, kind);
    std::error_code ignored;
    std::filesystem::create_directories(results, ignored);
    const QString shown = QString::fromStdString(results.string());
    if (start.totalFiles > 0)
        showSavedLine(outcome.saved, outcome.savedBytes, shown);
    if (outcome.cancelled || rows)
        return;
    openResultsFolder(shown);
}

// The dialog closes by itself when the batch ends; Cancel stops it after the current file.
void MyTableController::runRecoveryProgress(const results::RecoveryProgress& start) {
    results::RecoveryProgressDialog dialog(ui_->controlPanel);
    dialog.start(start);
    connect(recoveryWriter_.get(), &results::RecoveryWriter::batchProgress, &dialog,
            &results::RecoveryProgressDialog::setProgress, Qt::QueuedConnection);
    connect(recoveryWriter_.get(), &results::RecoveryWriter::batchEnded, &dialog, &QDialog::accept,
            Qt::QueuedConnection);
    connect(&dialog, &results::RecoveryProgressDialog::cancelRequested, recoveryWriter_.get(),
            [this] { recoveryWriter_->cancelBatch(); });
    if (prompter_->runModal(dialog) != QDialog::Accepted)
        recoveryWriter_->cancelBatch();
}

void MyTableController::Open_Image_btn(QObject* /*sender*/) {
    if (const std::optional<QString> chosen = diskImageChooser_(ui_->controlPanel))
        openDiskImage(*chosen);
}

// An image file joins the media list as a medium and stays there until the application ends;
// it heads the recent images while it can be opened.
void MyTableController::openDiskImage(const QString& path) {
    const QFileInfo file(path);
    const auto medium = sourceOpener_(file.absoluteFilePath().toStdString());
    if (!medium) {
        settings_->removeRecentImage(file.absoluteFilePath());
        refreshRecentImages();
        alert({kMediumUnreadable});
        return;
    }
    // A file's last partial sector is read as a whole one; less than one holds nothing.
    if (medium->sectorCount() == 0 || (file.isFile() && file.size() < static_cast<qint64>(kSectorSize))) {
        alert({kImageWithoutSectors.arg(file.fileName())});
        return;
    }
    settings_->addRecentImage(file.absoluteFilePath());
    refreshRecentImages();
    const media::MyDataObject record = diskImageRecord(file, medium->sectorCount());
    const auto same = [&](const media::MyDataObject& r) {
        return r.sourcePath == record.sourcePath;
    };
    if (std::none_of(openedDiskImages_.begin(), openedDiskImages_.end(), same)) {
        openedDiskImages_.push_back(record);
        addRow(record);
    }
    const auto row = std::find_if(nsMutaryOfDataObject().begin(), nsMutaryOfDataObject().end(), same);
    if (row != nsMutaryOfDataObject().end())
        ui_->idTableView->selectRow(static_cast<int>(row - nsMutaryOfDataObject().begin()));
}

} // namespace quarry::app
