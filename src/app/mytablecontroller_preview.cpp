#include "app/dialogs.h"
#include "app/media_window.h"
#include "app/movie_view.h"
#include "app/mytablecontroller.h"
#include "app/scan_session.h"
#include "results/found_item_bytes.h"
#include "results/preview_extract.h"
#include "results/ui/document_viewer.h"
#include "results/ui/file_icons.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/photo_viewer.h"
#include "results/ui/previewpane.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QListView>
#include <QMainWindow>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace quarry::app {
namespace {

// Longest picture read again from the medium for the photo viewer.
constexpr std::uint64_t kLargestViewedPhoto = 64u << 20;
// Longest file whose real end is looked for before it is copied for a viewer.
constexpr std::uint64_t kLongestViewedFile = 1ull << 30;

enum class ViewerKind { Photo, Document, Media, None };

ViewerKind viewerFor(const QString& itemName) {
    const QString extension = results::nameExtension(itemName).toLower();
    if (!extension.isEmpty() && QImageReader::supportedImageFormats().contains(extension.toLatin1()))
        return ViewerKind::Photo;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(itemName, QMimeDatabase::MatchExtension);
    if (type.inherits(QStringLiteral("application/pdf")))
        return ViewerKind::Document;
    const QString name = type.name();
    if (name.startsWith(QLatin1String("audio/")) || name.startsWith(QLatin1String("video/")))
        return ViewerKind::Media;
    return ViewerKind::None;
}

} // namespace

// The resource folder of an installed application is not writable; previews then go to a
// folder of this user's own.
std::string MyTableController::previewFolder() const {
    const std::string& resources = resourceFolder();
    if (::access(resources.c_str(), W_OK | X_OK) == 0 && QFileInfo(QString::fromStdString(resources)).isDir())
        return resources;
    const std::string fallback = privatePreviewFolder();
    if (fallback.empty() || !QDir().mkpath(QString::fromStdString(fallback)))
        return resources;
    QFile::setPermissions(QString::fromStdString(fallback),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

std::string MyTableController::privatePreviewFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? std::string() : QDir(cache).filePath(QStringLiteral("preview")).toStdString();
}

void MyTableController::imageBrowserSelectionDidChange(QListView* browser) {
    if (browser != ui_->imageBrowser_2)
        return;
    const QModelIndexList selected = browser->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto lowest =
        std::min_element(selected.begin(), selected.end(),
                         [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // The browser shows `images` through its filter; Prev_Index counts in `images`.
    const int row = foundItemsFilter().mapToSource(*lowest).row();
    const auto index = static_cast<std::uint32_t>(row);
    if (row < 0 || index == Prev_Index || row >= images_->numberOfItems())
        return;
    Prev_Index = index;
    ui_->_QuickLook_View->clear();
    closemovie_Win();
    const results::MyImageObject& item = images_->itemAtIndex(row);
    CreateFile_QuickLook_View_Demo(item.path, item.File_Start_Sector, item.File_End_Sector);
}

// The item's sectors are copied into the temporary file behind the preparation sheet, then
// previewed. A scan that ended meanwhile left its end step to this.
void MyTableController::CreateFile_QuickLook_View_Demo(const QString& name, std::uint64_t startSector,
                                                       std::uint64_t endSector) {
    ClearPreview_Window->show();
    ClearPreview_Window->repaint();
    scanSession_->previewCopyStarted(ClearPreview_Window.get());
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    if (std::unique_ptr<carving::SectorSource> device = openChosenMedium()) {
        // Previews leave at most one file behind while the program runs.
        std::error_code ignored;
        std::filesystem::remove(Demo_Test_File(), ignored);
        const std::string path = results::previewFilePath(previewFolder(), name.toStdString());
        setDemo_Test_File(path);
        const auto copy =
            results::extractPreviewFile(*device, startSector, endSector, path, scanSession_->previewStop());
        device.reset();
        // Without a file of its own the item would be shown with the previous item's contents.
        if (copy.created)
            QuickLook_Preview_Thread(name);
        else
            showTypeIcon(name);
    } else {
        showTypeIcon(name);
    }

    ClearPreview_Window->hide();
    if (scanSession_->previewCopyEnded())
        Final_or_Stop_Screen();
}

void MyTableController::QuickLook_Preview_Thread(const QString& path) {
    setQuickLook_View_Demo(QString::fromStdString(Demo_Test_File()), QFileInfo(path).fileName());
}

// In video mode a file that plays goes to the movie view; anything else is a picture.
void MyTableController::setQuickLook_View_Demo(const QString& filePath, const QString& fileName) {
    if (fileName.isNull())
        return;
    Ui::MainWindow& ui = *ui_;
    if (mode() == Mode::Video) {
        ui._QuickLook_View_Box->setTitle(fileName);
        if (results::canBeMovie(filePath)) {
            ui._QuickLook_View->hide();
            ui.mMovieView->show();
            ui.mMovieView->setSource(QUrl::fromLocalFile(filePath));
            return;
        }
        ui._QuickLook_View->show();
        ui.mMovieView->hide();
    }
    Image_Preview(filePath, fileName);
}

void MyTableController::Image_Preview(const QString& filePath, const QString& fileName) {
    results::Image_Preview(ui_->_QuickLook_View, ui_->_QuickLook_View_Box, filePath, fileName);
}

// Without the medium there is nothing of the item to show but its type.
void MyTableController::showTypeIcon(const QString& itemName) {
    const QString title = QFileInfo(itemName).fileName();
    ui_->_QuickLook_View_Box->setTitle(title);
    ui_->mMovieView->hide();
    ui_->_QuickLook_View->show();
    const QIcon icon = results::fileTypeIcon(results::nameExtension(title));
    ui_->_QuickLook_View->setPixmap(icon.pixmap(QSize(results::kPreviewMaxSide, results::kPreviewMaxSide)));
}

// Double-click, Enter or Space on a browser item opens it large.
void MyTableController::setUpViewers() {
    for (QListView* browser : {ui_->imageBrowser, ui_->imageBrowser_2}) {
        connect(browser, &QListView::activated, this, [this, browser](const QModelIndex& index) {
            openItemLarge(browser, foundItemsFilter().mapToSource(index).row());
        });
        auto* space = new QAction(browser); // owned by the browser
        space->setShortcut(Qt::Key_Space);
        space->setShortcutContext(Qt::WidgetShortcut);
        connect(space, &QAction::triggered, this, [this] { openFocusedItemLarge(); });
        browser->addAction(space);
    }
    // The photo viewer steps through rows of the found items; a new scan empties them.
    connect(images_.get(), &QAbstractItemModel::modelReset, this, [this] {
        if (photoViewer_)
            photoViewer_->close();
    });
}

bool MyTableController::openFocusedItemLarge() {
    for (QListView* browser : {ui_->imageBrowser, ui_->imageBrowser_2}) {
        if (browser->hasFocus() && browser->currentIndex().isValid()) {
            openItemLarge(browser, foundItemsFilter().mapToSource(browser->currentIndex()).row());
            return true;
        }
    }
    return false;
}

void MyTableController::openItemLarge(QListView* browser, int row) {
    if (row < 0 || row >= images_->numberOfItems())
        return;
    // The viewer steps through what the browser shows: the filtered items, in its order.
    const bool photos = browser == ui_->imageBrowser;
    const results::FoundItemsFilter& shown = foundItemsFilter();
    std::vector<int> rows;
    for (int k = 0; k < shown.rowCount(); ++k) {
        const int source = shown.mapToSource(shown.index(k, 0)).row();
        if (photos || viewerFor(images_->itemAtIndex(source).path) == ViewerKind::Photo)
            rows.push_back(source);
    }
    const results::MyImageObject& item = images_->itemAtIndex(row);
    switch (photos ? ViewerKind::Photo : viewerFor(item.path)) {
    case ViewerKind::Photo:
        openPhotos(std::move(rows), row);
        break;
    case ViewerKind::Document: {
        if (!documentViewer_)
            documentViewer_ = std::make_unique<results::DocumentViewer>(window_.get());
        documentViewer_->openFile(copyItemForViewer(item), item.path);
        documentViewer_->show();
        documentViewer_->raise();
        break;
    }
    case ViewerKind::Media: {
        const QString copy = copyItemForViewer(item);
        if (copy.isEmpty())
            break;
        if (!mediaWindow_)
            mediaWindow_ = std::make_unique<MediaWindow>(window_.get());
        mediaWindow_->open(QUrl::fromLocalFile(copy), item.path);
        break;
    }
    case ViewerKind::None:
        break;
    }
}

// `rows` are the browser rows the viewer steps through; it opens at `row`.
void MyTableController::openPhotos(std::vector<int> rows, int row) {
    const auto at = std::find(rows.begin(), rows.end(), row);
    if (at == rows.end())
        return;
    const int first = static_cast<int>(at - rows.begin());
    if (!photoViewer_)
        photoViewer_ = std::make_unique<results::PhotoViewer>(window_.get());
    const auto shared = std::make_shared<const std::vector<int>>(std::move(rows));
    // The list of found items only grows during a scan and is emptied when one starts.
    const auto item = [this, shared](int k) -> const results::MyImageObject* {
        const int r = (*shared)[static_cast<std::size_t>(k)];
        return r < images_->numberOfItems() ? &images_->itemAtIndex(r) : nullptr;
    };
    photoViewer_->setList(
        {[shared] { return static_cast<int>(shared->size()); },
         [item](int k) { return item(k) ? item(k)->image_Name : QString(); },
         [this, item](int k) {
             const results::MyImageObject* found = item(k);
             if (!found)
                 return QByteArray();
             // Photos keep where they lie; found files their sectors.
             return found->photoEndSector > found->photoFirstSector
                        ? readItemBytes(found->image_Name, found->photoFirstSector, found->photoEndSector)
                        : readItemBytes(found->path, found->File_Start_Sector, found->File_End_Sector);
         }});
    photoViewer_->showItem(first);
    photoViewer_->show();
    photoViewer_->raise();
    photoViewer_->activateWindow();
}

// The medium is only read, as for the preview.
QByteArray MyTableController::readItemBytes(const QString& name, std::uint64_t first,
                                            std::uint64_t end) const {
    const std::unique_ptr<carving::SectorSource> medium = openChosenMedium();
    if (!medium)
        return {};
    const std::vector<std::uint8_t> bytes =
        results::readFoundItem(*medium, name.toStdString(), first, end, kLargestViewedPhoto);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString MyTableController::copyItemForViewer(const results::MyImageObject& item) {
    if (!viewerCopies_)
        viewerCopies_ = std::make_unique<QTemporaryDir>();
    const std::unique_ptr<carving::SectorSource> medium = openChosenMedium();
    if (!viewerCopies_->isValid() || !medium)
        return {};
    // Players and readers stumble on what follows a file's end, so the copy stops there.
    const std::uint64_t length = results::foundItemLength(
        *medium, item.path.toStdString(), item.File_Start_Sector, item.File_End_Sector, kLongestViewedFile);
    const std::uint64_t end = item.File_Start_Sector + (length + kSectorSize - 1) / kSectorSize;
    const std::string path =
        results::previewFilePath(viewerCopies_->path().toStdString(), item.path.toStdString());
    const std::atomic<int> keepGoing{0};
    const auto copy = results::extractPreviewFile(*medium, item.File_Start_Sector, end, path, keepGoing);
    std::error_code ignored;
    if (copy.created && !copy.aborted && copy.sectorsWritten == end - item.File_Start_Sector)
        std::filesystem::resize_file(path, length, ignored);
    return copy.created ? QString::fromStdString(path) : QString();
}

} // namespace quarry::app
