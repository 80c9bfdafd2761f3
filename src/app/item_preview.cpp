#include "app/item_preview.h"

#include "app/scan_session.h"
#include "carving/sector_source.h"
#include "results/preview_extract.h"
#include "results/ui/file_icons.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/previewpane.h"
#include "ui_mainwindow.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace quarry::app {

ItemPreview::ItemPreview(Ui::MainWindow& ui, QDialog& sheet, ScanSession& session,
                         const results::ImagesModel& images, const results::FoundItemsFilter& shown,
                         std::string resourceFolder, Hooks hooks)
    : ui_(ui), sheet_(sheet), session_(session), images_(images), shown_(shown),
      resourceFolder_(std::move(resourceFolder)), hooks_(std::move(hooks)) {
    connect(&copy_, &QFutureWatcher<bool>::finished, this, [this] { copyEnded(copy_.result()); });
}

ItemPreview::~ItemPreview() {
    copy_.waitForFinished();
}

std::string ItemPreview::file() const {
    const std::lock_guard lock(fileMutex_);
    return file_;
}

void ItemPreview::setFile(std::string path) {
    const std::lock_guard lock(fileMutex_);
    file_ = std::move(path);
}

// The resource folder of an installed application is not writable; previews then go to a
// folder of this user's own.
std::string ItemPreview::folder() const {
    if (::access(resourceFolder_.c_str(), W_OK | X_OK) == 0 &&
        QFileInfo(QString::fromStdString(resourceFolder_)).isDir())
        return resourceFolder_;
    const std::string fallback = privateFolder();
    if (fallback.empty() || !QDir().mkpath(QString::fromStdString(fallback)))
        return resourceFolder_;
    QFile::setPermissions(QString::fromStdString(fallback),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

std::string ItemPreview::privateFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? std::string() : QDir(cache).filePath(QStringLiteral("preview")).toStdString();
}

void ItemPreview::selectionDidChange(QListView* browser) {
    if (browser != ui_.imageBrowser_2)
        return;
    const QModelIndexList selected = browser->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto lowest =
        std::min_element(selected.begin(), selected.end(),
                         [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // The browser shows `images` through its filter; Prev_Index counts in `images`.
    const int row = shown_.mapToSource(*lowest).row();
    const auto index = static_cast<std::uint32_t>(row);
    if (row < 0 || index == index_ || row >= images_.numberOfItems())
        return;
    index_ = index;
    ui_._QuickLook_View->clear();
    hooks_.closeMovie();
    const results::MyImageObject& item = images_.itemAtIndex(row);
    copyAndShow(item.path, item.File_Start_Sector, item.File_End_Sector);
}

// While a copy runs, only the latest request waits for it.
void ItemPreview::copyAndShow(const QString& name, std::uint64_t startSector, std::uint64_t endSector) {
    const Request request{name, startSector, endSector};
    if (copying_)
        next_ = request;
    else
        startCopy(request);
}

void ItemPreview::startCopy(const Request& request) {
    copying_ = request;
    sheet_.show();
    sheet_.repaint();
    session_.previewCopyStarted(&sheet_);
    std::shared_ptr<carving::SectorSource> medium = hooks_.openMedium();
    if (!medium) {
        copyEnded(false);
        return;
    }
    // Previews leave at most one file behind while the program runs.
    std::error_code ignored;
    std::filesystem::remove(file(), ignored);
    std::string path = results::previewFilePath(folder(), request.name.toStdString());
    setFile(path);
    const std::atomic<int>& stopFlag = session_.previewStop();
    copy_.setFuture(QtConcurrent::run([medium, request, path = std::move(path), &stopFlag] {
        return results::extractPreviewFile(*medium, request.start, request.end, path, stopFlag).created;
    }));
}

// A scan that ended during the copy left its end step to this. A copy that a newer selection
// overtook is not shown: that one is copied next.
void ItemPreview::copyEnded(bool created) {
    if (!copying_)
        return;
    const QString name = copying_->name;
    copying_.reset();
    // Without a file of its own the item would be shown with the previous item's contents.
    if (!next_ && created)
        showCopy(name);
    else if (!next_)
        showTypeIcon(name);
    sheet_.hide();
    if (session_.previewCopyEnded())
        hooks_.endStep();
    if (next_) {
        const Request request = *next_;
        next_.reset();
        startCopy(request);
    }
}

void ItemPreview::stop() {
    next_.reset();
    if (!copying_)
        return;
    session_.stopPreviewCopy();
    copy_.waitForFinished();
    copying_.reset();
    sheet_.hide();
    session_.previewCopyEnded();
}

void ItemPreview::showCopy(const QString& itemName) {
    show(QString::fromStdString(file()), QFileInfo(itemName).fileName());
}

void ItemPreview::show(const QString& filePath, const QString& fileName) {
    if (fileName.isNull())
        return;
    if (hooks_.mode() == Mode::Video) {
        ui_._QuickLook_View_Box->setTitle(fileName);
        if (results::canBeMovie(filePath)) {
            ui_._QuickLook_View->hide();
            ui_.mMovieView->show();
            ui_.mMovieView->setSource(QUrl::fromLocalFile(filePath));
            return;
        }
        ui_._QuickLook_View->show();
        ui_.mMovieView->hide();
    }
    showPicture(filePath, fileName);
}

void ItemPreview::showPicture(const QString& filePath, const QString& fileName) {
    results::Image_Preview(ui_._QuickLook_View, ui_._QuickLook_View_Box, filePath, fileName);
}

void ItemPreview::showTypeIcon(const QString& itemName) {
    const QString title = QFileInfo(itemName).fileName();
    ui_._QuickLook_View_Box->setTitle(title);
    ui_.mMovieView->hide();
    ui_._QuickLook_View->show();
    const QIcon icon = results::fileTypeIcon(results::nameExtension(title));
    ui_._QuickLook_View->setPixmap(icon.pixmap(QSize(results::kPreviewMaxSide, results::kPreviewMaxSide)));
}

} // namespace quarry::app
