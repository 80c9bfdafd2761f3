#pragma once

#include "results/ui/myimageobject.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// A photo's thumbnail from its carved bytes: when `medium` holds the rest of a photo cut short
// by a picture inside it, from the whole photo. Safe on any thread.
QByteArray photoThumbnail(const QByteArray& item, const std::string& name, std::uint64_t firstSector,
                          carving::SectorSource* medium, const QByteArray& placeholder, QSize* pictureSize);

// Makes the thumbnails a scan left for later (items with thumbnailPending) when a browser
// first shows them: their sectors are read again from a handle of the medium of its own, off
// the GUI thread. Lives on the GUI thread.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailLoader(QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // A new scan of `medium` (null: nothing can be read, items keep no picture); what was
    // asked for earlier is dropped.
    void setMedium(std::shared_ptr<carving::SectorSource> medium, const QByteArray& placeholder);
    // Asks once for the thumbnail of the item at `row`; thumbnailReady follows.
    void request(int row, const MyImageObject& item);

signals:
    void thumbnailReady(int row, const QString& name, const QByteArray& thumbnail);

private:
    std::mutex mutex_;
    std::shared_ptr<carving::SectorSource> medium_;
    QByteArray placeholder_;
    std::uint64_t generation_ = 0;
    std::set<int> requested_; // GUI thread only
    QThreadPool pool_;        // last, so its jobs end before the state they use goes
};

} // namespace quarry::results
