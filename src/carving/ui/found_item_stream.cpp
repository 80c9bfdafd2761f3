#include "carving/ui/found_item_stream.h"

#include "results/picture_size.h"
#include "results/ui/item_adder.h"
#include "results/ui/thumbnail_loader.h"

#include <QThread>
#include <algorithm>

namespace quarry::carving {

FoundItemStream::FoundItemStream(QObject* parent)
    : QObject(parent), handoff_(static_cast<std::size_t>(std::max(1, QThread::idealThreadCount() - 1)),
                                [this] { postDrain(); }) {}

void FoundItemStream::setNullImageData(const QByteArray& bytes) {
    std::lock_guard lock(settingsMutex_);
    nullImageData_ = bytes;
}

void FoundItemStream::setMedium(std::shared_ptr<SectorSource> medium) {
    std::lock_guard lock(settingsMutex_);
    medium_ = std::move(medium);
}

void FoundItemStream::passStarted(PassKind pass, const char* modeLabel) {
    Event event;
    event.pass = pass;
    event.label = QString::fromUtf8(modeLabel);
    handoff_.complete(handoff_.nextSequence(), std::move(event));
}

void FoundItemStream::photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                                const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                                std::uint64_t unreadableSectors) {
    if (!bytes.empty())
        sharedPhotoItem(pass, std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end()),
                        name, uid, firstSector, endSector, unreadableSectors);
}

void FoundItemStream::sharedPhotoItem(PassKind pass, const ItemBytes& bytes, const std::string& name,
                                      const std::string& uid, std::uint64_t firstSector,
                                      std::uint64_t endSector, std::uint64_t unreadableSectors) {
    if (bytes->empty())
        return;
    handoff_.waitForRoom();
    const std::uint64_t sequence = handoff_.nextSequence();
    Event event;
    event.kind = Event::Kind::Photo;
    event.pass = pass;
    event.item =
        results::MyImageObject(QByteArray(), QString::fromStdString(name), QString::fromStdString(uid));
    event.item.unreadableSectors = unreadableSectors;
    event.item.carvedBytes = bytes->size();
    event.item.photoFirstSector = firstSector;
    event.item.photoEndSector = endSector;
    if (const auto size = results::pictureSize(*bytes))
        event.item.pixelSize = QSize(static_cast<int>(size->width), static_cast<int>(size->height));
    // The scan never waits for thumbnails: while the pool is busy, the item goes on without
    // one, and the browser has it made when it first shows the item.
    if (!handoff_.reserveJob(bytes->size())) {
        event.item.thumbnailPending = true;
        handoff_.complete(sequence, std::move(event));
        return;
    }
    QByteArray placeholder;
    std::shared_ptr<SectorSource> medium;
    {
        std::lock_guard lock(settingsMutex_);
        placeholder = nullImageData_;
        medium = medium_;
    }
    handoff_.runJob(sequence, bytes->size(),
                    [event = std::move(event), bytes, placeholder = std::move(placeholder),
                     medium = std::move(medium), firstSector, name]() mutable {
                        // Read in place: the shared bytes stay alive and unchanged meanwhile.
                        const auto data =
                            QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->data()),
                                                    static_cast<qsizetype>(bytes->size()));
                        QSize pixels;
                        event.item.imageData = results::photoThumbnail(data, name, firstSector, medium.get(),
                                                                       placeholder, &pixels);
                        if (pixels.isValid())
                            event.item.pixelSize = pixels;
                        return std::move(event);
                    });
}

void FoundItemStream::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                              std::uint64_t startSector, std::uint64_t endSector,
                              std::uint64_t unreadableSectors) {
    auto item = results::makeFileItem(QString::fromStdString(name), QString::fromStdString(uid), startSector,
                                      endSector);
    if (!item)
        return;
    handoff_.waitForRoom();
    item->unreadableSectors = unreadableSectors;
    Event event;
    event.kind = Event::Kind::File;
    event.pass = pass;
    event.item = std::move(*item);
    handoff_.complete(handoff_.nextSequence(), std::move(event));
}

void FoundItemStream::flush() {
    handoff_.waitForJobs();
    // No thumbnail is pending, so the scan's second handle of the medium can go.
    std::lock_guard lock(settingsMutex_);
    medium_.reset();
}

void FoundItemStream::setThumbnailJobs(std::size_t jobs) {
    handoff_.setJobLimit(jobs);
}

void FoundItemStream::postDrain() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (drainSlice())
                postDrain();
        },
        Qt::QueuedConnection);
}

void FoundItemStream::drain() {
    while (drainSlice()) {
    }
}

bool FoundItemStream::drainSlice() {
    // A slice at a time, so a burst of items never holds up the GUI thread for long; the rest
    // follows in the next call.
    std::vector<Event> events;
    const bool more = handoff_.takeSlice(events);
    std::vector<results::MyImageObject> batch;
    auto kind = Event::Kind::Pass;
    const auto deliver = [&] {
        if (batch.empty())
            return;
        if (kind == Event::Kind::Photo)
            emit photoItemsReady(batch);
        else
            emit fileItemsReady(batch);
        batch.clear();
    };
    for (auto& event : events) {
        if (event.kind != kind)
            deliver();
        kind = event.kind;
        if (event.kind == Event::Kind::Pass)
            emit passBegan(event.pass, event.label);
        else
            batch.push_back(std::move(event.item));
    }
    deliver();
    return more;
}

} // namespace quarry::carving
