#include "app/large_viewers.h"

#include "app/media_window.h"
#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/found_item_bytes.h"
#include "results/preview_extract.h"
#include "results/ui/document_viewer.h"
#include "results/ui/file_icons.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/photo_viewer.h"

#include <QAction>
#include <QImageReader>
#include <QListView>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

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

// A private copy in `folder` of sectors [first, end) of the item `name`; empty when it cannot
// be made. Players and readers stumble on what follows a file's end, so the copy stops there.
QString copyForViewer(carving::SectorSource& medium, const std::string& folder, const std::string& name,
                      std::uint64_t first, std::uint64_t end, const std::atomic<int>& stop) {
    const std::uint64_t length = results::foundItemLength(medium, name, first, end, kLongestViewedFile);
    const std::uint64_t lastEnd = first + (length + kSectorSize - 1) / kSectorSize;
    const std::string path = results::previewFilePath(folder, name);
    const auto copy = results::extractPreviewFile(medium, first, lastEnd, path, stop);
    std::error_code ignored;
    if (copy.created && !copy.aborted && copy.sectorsWritten == lastEnd - first)
        std::filesystem::resize_file(path, length, ignored);
    return copy.created ? QString::fromStdString(path) : QString();
}

} // namespace

LargeViewers::LargeViewers(QWidget& parent, QListView& photoBrowser, QListView& fileBrowser,
                           const results::ImagesModel& images, const results::FoundItemsFilter& shown,
                           MediumOpener openMedium)
    : parent_(parent), photoBrowser_(photoBrowser), fileBrowser_(fileBrowser), images_(images), shown_(shown),
      openMedium_(std::move(openMedium)) {
    for (QListView* browser : {&photoBrowser_, &fileBrowser_}) {
        connect(browser, &QListView::activated, this, [this, browser](const QModelIndex& index) {
            openItemLarge(browser, shown_.mapToSource(index).row());
        });
        auto* space = new QAction(browser); // owned by the browser
        space->setShortcut(Qt::Key_Space);
        space->setShortcutContext(Qt::WidgetShortcut);
        connect(space, &QAction::triggered, this, [this] { openFocusedItemLarge(); });
        browser->addAction(space);
    }
    connect(&copy_, &QFutureWatcher<QString>::finished, this, [this] { copyEnded(copy_.result()); });
    // The photo viewer steps through rows of the found items; a new scan empties them.
    connect(&images_, &QAbstractItemModel::modelReset, this, [this] {
        if (photoViewer_)
            photoViewer_->close();
    });
}

LargeViewers::~LargeViewers() {
    stop_ = 1;
    copy_.waitForFinished();
}

bool LargeViewers::openFocusedItemLarge() {
    for (QListView* browser : {&photoBrowser_, &fileBrowser_}) {
        if (browser->hasFocus() && browser->currentIndex().isValid()) {
            openItemLarge(browser, shown_.mapToSource(browser->currentIndex()).row());
            return true;
        }
    }
    return false;
}

void LargeViewers::openItemLarge(QListView* browser, int row) {
    if (row < 0 || row >= images_.numberOfItems())
        return;
    // The viewer steps through what the browser shows: the filtered items, in its order.
    const bool photos = browser == &photoBrowser_;
    std::vector<int> rows;
    for (int k = 0; k < shown_.rowCount(); ++k) {
        const int source = shown_.mapToSource(shown_.index(k, 0)).row();
        if (photos || viewerFor(images_.itemAtIndex(source).path) == ViewerKind::Photo)
            rows.push_back(source);
    }
    const results::MyImageObject& item = images_.itemAtIndex(row);
    const ViewerKind kind = photos ? ViewerKind::Photo : viewerFor(item.path);
    switch (kind) {
    case ViewerKind::Photo:
        openPhotos(std::move(rows), row);
        break;
    case ViewerKind::Document:
    case ViewerKind::Media:
        copyItemForViewer(
            {item.path, item.File_Start_Sector, item.File_End_Sector, kind == ViewerKind::Document});
        break;
    case ViewerKind::None:
        break;
    }
}

// `rows` are the browser rows the viewer steps through; it opens at `row`.
void LargeViewers::openPhotos(std::vector<int> rows, int row) {
    const auto at = std::find(rows.begin(), rows.end(), row);
    if (at == rows.end())
        return;
    const int first = static_cast<int>(at - rows.begin());
    if (!photoViewer_)
        photoViewer_ = std::make_unique<results::PhotoViewer>(&parent_);
    const auto shared = std::make_shared<const std::vector<int>>(std::move(rows));
    // The list of found items only grows during a scan and is emptied when one starts.
    const auto item = [this, shared](int k) -> const results::MyImageObject* {
        const int r = (*shared)[static_cast<std::size_t>(k)];
        return r < images_.numberOfItems() ? &images_.itemAtIndex(r) : nullptr;
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
QByteArray LargeViewers::readItemBytes(const QString& name, std::uint64_t first, std::uint64_t end) const {
    const std::unique_ptr<carving::SectorSource> medium = openMedium_();
    if (!medium)
        return {};
    const std::vector<std::uint8_t> bytes =
        results::readFoundItem(*medium, name.toStdString(), first, end, kLargestViewedPhoto);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void LargeViewers::copyItemForViewer(const CopyRequest& request) {
    if (copying_)
        next_ = request;
    else
        startCopy(request);
}

void LargeViewers::startCopy(const CopyRequest& request) {
    copying_ = request;
    if (!viewerCopies_)
        viewerCopies_ = std::make_unique<QTemporaryDir>();
    std::shared_ptr<carving::SectorSource> medium = openMedium_();
    if (!viewerCopies_->isValid() || !medium) {
        copyEnded(QString());
        return;
    }
    copy_.setFuture(QtConcurrent::run([this, medium, request, folder = viewerCopies_->path().toStdString()] {
        return copyForViewer(*medium, folder, request.name.toStdString(), request.start, request.end, stop_);
    }));
}

// A copy that a newer item overtook is not opened: that one is copied next.
void LargeViewers::copyEnded(const QString& copy) {
    if (!copying_)
        return;
    const CopyRequest request = *copying_;
    copying_.reset();
    if (next_) {
        const CopyRequest latest = *next_;
        next_.reset();
        startCopy(latest);
        return;
    }
    if (request.document) {
        if (!documentViewer_)
            documentViewer_ = std::make_unique<results::DocumentViewer>(&parent_);
        documentViewer_->openFile(copy, request.name);
        documentViewer_->show();
        documentViewer_->raise();
    } else if (!copy.isEmpty()) {
        if (!mediaWindow_)
            mediaWindow_ = std::make_unique<MediaWindow>(&parent_);
        mediaWindow_->open(QUrl::fromLocalFile(copy), request.name);
    }
}

} // namespace quarry::app
