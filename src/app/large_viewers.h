#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QListView;
class QTemporaryDir;
class QWidget;

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {
class DocumentViewer;
class FoundItemsFilter;
class ImagesModel;
class MyImageObject;
class PhotoViewer;
} // namespace quarry::results

namespace quarry::app {

class MediaWindow;

// The found items opened large: pictures in the photo viewer, PDFs in the document viewer,
// sounds and movies in the media window. Double-click, Enter or Space on a browser item opens it.
// Documents and media are copied out for their viewer on a worker, one at a time: an item
// opened meanwhile waits, and only the latest such item is copied next.
class LargeViewers final : public QObject {
    Q_OBJECT
public:
    // The scanned medium, opened read-only; null when it cannot be opened.
    using MediumOpener = std::function<std::unique_ptr<carving::SectorSource>()>;

    // `photoBrowser` shows the photo mode's items; `fileBrowser` the other modes'.
    LargeViewers(QWidget& parent, QListView& photoBrowser, QListView& fileBrowser,
                 const results::ImagesModel& images, const results::FoundItemsFilter& shown,
                 MediumOpener openMedium);
    // Stops a running copy and waits for it.
    ~LargeViewers() override;

    // Opens the item at `row` of `browser` large; other items stay in the preview.
    void openItemLarge(QListView* browser, int row);
    // Opens the current item of the browser that has the focus; false when none has.
    bool openFocusedItemLarge();
    // Each is null until first opened.
    results::PhotoViewer* photoViewer() const { return photoViewer_.get(); }
    results::DocumentViewer* documentViewer() const { return documentViewer_.get(); }
    MediaWindow* mediaWindow() const { return mediaWindow_.get(); }

private:
    struct CopyRequest {
        QString name;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        bool document = false; // else a sound or movie
    };
    void openPhotos(std::vector<int> rows, int row);
    // A found item's bytes read again from the medium; empty when it cannot be read.
    QByteArray readItemBytes(const QString& name, std::uint64_t first, std::uint64_t end) const;
    // Copies the item for its viewer, which opens when the copy is made.
    void copyItemForViewer(const CopyRequest& request);
    void startCopy(const CopyRequest& request);
    void copyEnded(const QString& copy);

    QWidget& parent_;
    QListView& photoBrowser_;
    QListView& fileBrowser_;
    const results::ImagesModel& images_;
    const results::FoundItemsFilter& shown_;
    MediumOpener openMedium_;
    std::unique_ptr<results::PhotoViewer> photoViewer_;
    std::unique_ptr<results::DocumentViewer> documentViewer_;
    std::unique_ptr<MediaWindow> mediaWindow_;
    std::unique_ptr<QTemporaryDir> viewerCopies_;
    std::optional<CopyRequest> copying_;
    std::optional<CopyRequest> next_;
    std::atomic<int> stop_{0};
    QFutureWatcher<QString> copy_;
};

} // namespace quarry::app
