#include "app/item_recovery.h"
#include "app/media_screen.h"
#include "app/mytablecontroller.h"
#include "app/session_settings.h"
#include "app/texts.h"
#include "carving/ui/scanbridge.h"
#include "media/block_probe.h"
#include "media/volume_description.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <algorithm>

namespace quarry::app {
namespace {

const QString kFileSystemOfImages = QStringLiteral("Disk Image");
const QString kImageWithoutSectors = QStringLiteral(
    "\nThe disk image ‘%1’ is smaller than one sector (512 bytes): there is nothing to search.");

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
    recovery_ = std::make_unique<ItemRecovery>(
        *ui_, *prompter_, images(), scanBridge(), chosenMedium_,
        ItemRecovery::Hooks{[this](const Alert& shown) { return alert(shown); }, [this] { return mode(); },
                            [this] { Browse_Path(); },
                            [this](std::uint64_t files, std::uint64_t bytes, const QString& folder) {
                                showSavedLine(files, bytes, folder);
                            },
                            [this](const QString& folder) {
                                return openResultsFolder(folder);
                            }});
    diskImageChooser_ = &chooseDiskImageWithDialog;

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
    recovery_->setDestinationChecker(std::move(checker));
}

void MyTableController::setDiskImageChooser(DiskImageChooser chooser) {
    diskImageChooser_ = std::move(chooser);
}

results::RecoveryWriter& MyTableController::recoveryWriter() const {
    return recovery_->writer();
}

void MyTableController::Open_Folder_btn(QObject* /*sender*/) {
    recovery_->recover();
}

void MyTableController::Open_Folder_btn_Sig(QObject* /*sender*/) {
    recovery_->recover();
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
        alert({texts::kMediumUnreadable});
        return;
    }
    // A file's last partial sector is read as a whole one; less than one holds nothing.
    if (medium->sectorCount() == 0 || (file.isFile() && file.size() < static_cast<qint64>(kSectorSize))) {
        alert({kImageWithoutSectors.arg(file.fileName())});
        return;
    }
    settings_->addRecentImage(file.absoluteFilePath());
    refreshRecentImages();
    mediaScreen_->addDiskImage(diskImageRecord(file, medium->sectorCount()));
}

} // namespace quarry::app
