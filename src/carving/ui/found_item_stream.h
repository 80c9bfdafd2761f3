#pragma once

#include "carving/ordered_handoff.h"
#include "carving/scan.h"
#include "results/ui/myimageobject.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quarry::carving {

// Carries what a scan finds from its worker thread to the GUI thread, in the order found.
// Photo thumbnails are made on a small thread pool so the read loop does not wait for them;
// the GUI thread receives coalesced batches through queued calls and never sees an item
// before the ones found earlier (OrderedHandoff does the ordering). Lives on the GUI thread;
// the ScanSink side runs on the worker.
class FoundItemStream : public QObject, public ScanSink {
    Q_OBJECT
public:
    explicit FoundItemStream(QObject* parent = nullptr);

    // `Null_Image_Data`, for photos that do not decode. Set before a scan starts.
    void setNullImageData(const QByteArray& bytes);
    // A read-only handle of the scanned medium of its own, from which a photo cut short by a
    // picture inside it is read whole for its thumbnail; null: thumbnails of the items as cut.
    // Set before a scan starts; flush() closes it.
    void setMedium(std::shared_ptr<SectorSource> medium);
    // Thumbnails made at once, at most; the others are left for the browser (thumbnailPending).
    void setThumbnailJobs(std::size_t jobs);

    void passStarted(PassKind pass, const char* modeLabel) override;
    void photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                   const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                   std::uint64_t unreadableSectors) override;
    void sharedPhotoItem(PassKind pass, const ItemBytes& bytes, const std::string& name,
                         const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                         std::uint64_t unreadableSectors) override;
    void rawItem(PassKind pass, const std::string& name, const std::string& uid, std::uint64_t startSector,
                 std::uint64_t endSector, std::uint64_t unreadableSectors) override;

    // Worker thread: returns once everything handed over so far is queued for the GUI thread,
    // and lets go of the medium.
    void flush();
    // GUI thread: delivers what is queued now; the queued calls do this by themselves, a
    // slice at a time.
    void drain();

signals:
    // All on the GUI thread, in the order the scan produced them.
    void passBegan(quarry::carving::PassKind pass, const QString& modeLabel);
    void photoItemsReady(const std::vector<quarry::results::MyImageObject>& items);
    void fileItemsReady(const std::vector<quarry::results::MyImageObject>& items);

private:
    struct Event {
        enum class Kind { Pass, Photo, File } kind = Kind::Pass;
        PassKind pass = PassKind::General;
        QString label;
        results::MyImageObject item;
    };

    void postDrain();
    // Delivers up to a slice of what is queued; true when more is left.
    bool drainSlice();

    std::mutex settingsMutex_;
    QByteArray nullImageData_;
    std::shared_ptr<SectorSource> medium_;

    OrderedHandoff<Event> handoff_; // last, so its jobs have ended before what they use goes
};

} // namespace quarry::carving
