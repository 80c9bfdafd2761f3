#include "app/item_recovery.h"

#include "app/texts.h"
#include "carving/ui/scanbridge.h"
#include "media/volume_description.h"
#include "results/destination_check.h"
#include "results/saver.h"
#include "results/ui/images_model.h"
#include "results/ui/recovery_progress_dialog.h"
#include "results/ui/recovery_writer.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <system_error>

namespace quarry::app {
namespace {

const QString kSavingStoppedFull =
    QStringLiteral("\nThe destination disk is full. Saving has stopped; the files saved so far are kept.");
const QString kSomeNotSaved =
    QStringLiteral("\n%1 of the found files could not be written into the destination folder.");
const QString kLiveSavingOff = QStringLiteral(
    "\nThe storage media cannot be opened a second time for saving, so found files are not "
    "saved while the scan runs. They can be saved into the destination folder after the scan.");
const QString kCannotWriteDestination =
    QStringLiteral("\nFound files cannot be saved into the destination folder: %1.");

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

} // namespace

ItemRecovery::ItemRecovery(Ui::MainWindow& ui, Prompter& prompter, results::ImagesModel& images,
                           carving::ScanBridge& bridge, const media::MyDataObject& medium, Hooks hooks)
    : ui_(ui), prompter_(prompter), medium_(medium), hooks_(std::move(hooks)),
      checker_([](const std::filesystem::path& destination, const std::string& source) {
          return results::DestinationCheck().refusal(destination, source);
      }),
      writer_(std::make_unique<results::RecoveryWriter>()) {
    bridge.setExtraSink(writer_.get());
    connect(&bridge, &carving::ScanBridge::scanStarting, this, [this] { prepareForScan(); });
    connect(writer_.get(), &results::RecoveryWriter::liveDestinationFull, this,
            [this] { hooks_.alert({QString::fromUtf8(results::kDestinationFullAlert)}); });
    connect(writer_.get(), &results::RecoveryWriter::itemChecked, &images,
            [&images](int row, const QString& name, const QString& note, bool copy, int check) {
                images.setItemNote(row, name, note, copy, check);
            });
}

ItemRecovery::~ItemRecovery() = default;

void ItemRecovery::setDestinationChecker(DestinationChecker checker) {
    checker_ = std::move(checker);
}

// A destination on the medium being rescued could overwrite what is to be recovered.
bool ItemRecovery::refuseUnsafeDestination(const std::filesystem::path& destination, results::SearchKind kind,
                                           const std::string& source) {
    auto refusal = checker_(results::resultsFolder(destination, kind), source);
    // Found out now, not after every item of a long scan has failed to be written.
    if (!refusal) {
        if (const auto why = results::ItemSaver(destination, kind).prepareDestination(); !why.empty())
            refusal = kCannotWriteDestination.arg(QString::fromStdString(why)).toStdString();
    }
    if (!refusal)
        return false;
    ui_._path->clear();
    ui_._path_Sig->clear();
    hooks_.alert({QString::fromStdString(*refusal)});
    return true;
}

// As a scan starts: with a destination chosen, every item is saved as it is handed over.
void ItemRecovery::prepareForScan() {
    const results::SearchKind kind = searchKindOfMode(hooks_.mode());
    const std::string source = media::rawDevicePath(medium_);
    const QString folder = ui_._path->text();
    std::optional<std::filesystem::path> live;
    if (!folder.isEmpty() && !refuseUnsafeDestination(folder.toStdString(), kind, source))
        live = std::filesystem::path(folder.toStdString());
    writer_->setKeepRejected(ui_._keep_rejected_Chk->isChecked());
    if (!writer_->beginScan(source, kind, live))
        hooks_.alert({kLiveSavingOff});
}

void ItemRecovery::recover(const std::optional<std::vector<int>>& rows) {
    if (ui_._path->text().isEmpty())
        hooks_.chooseFolder();
    const QString folder = ui_._path->text();
    if (folder.isEmpty())
        return;
    const std::filesystem::path destination = folder.toStdString();
    const results::SearchKind kind = writer_->scannedKind();
    if (refuseUnsafeDestination(destination, kind, writer_->scannedSource()))
        return;

    writer_->setKeepRejected(ui_._keep_rejected_Chk->isChecked());
    const results::RecoveryProgress start = writer_->recoverUnsaved(destination, rows);
    if (start.totalFiles > 0)
        runProgress(start);
    const results::RecoveryOutcome outcome = writer_->waitForBatch();
    if (outcome.sourceUnreadable) {
        hooks_.alert({texts::kMediumUnreadable});
        return;
    }
    if (outcome.destinationFull)
        hooks_.alert({kSavingStoppedFull});
    else if (outcome.failed > 0)
        hooks_.alert({kSomeNotSaved.arg(outcome.failed)});

    const std::filesystem::path results = results::resultsFolder(destination, kind);
    std::error_code ignored;
    std::filesystem::create_directories(results, ignored);
    const QString shown = QString::fromStdString(results.string());
    if (start.totalFiles > 0)
        hooks_.showSaved(outcome.saved, outcome.savedBytes, shown);
    if (outcome.cancelled || rows)
        return;
    hooks_.openFolder(shown);
}

// The dialog closes by itself when the batch ends; Cancel stops it after the current file.
void ItemRecovery::runProgress(const results::RecoveryProgress& start) {
    results::RecoveryProgressDialog dialog(ui_.controlPanel);
    dialog.start(start);
    connect(writer_.get(), &results::RecoveryWriter::batchProgress, &dialog,
            &results::RecoveryProgressDialog::setProgress, Qt::QueuedConnection);
    connect(writer_.get(), &results::RecoveryWriter::batchEnded, &dialog, &QDialog::accept,
            Qt::QueuedConnection);
    connect(&dialog, &results::RecoveryProgressDialog::cancelRequested, writer_.get(),
            [this] { writer_->cancelBatch(); });
    if (prompter_.runModal(dialog) != QDialog::Accepted)
        writer_->cancelBatch();
}

} // namespace quarry::app
