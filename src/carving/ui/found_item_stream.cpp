#include "carving/ui/found_item_stream.h"

#include "results/picture_size.h"
#include "results/ui/item_adder.h"
#include "results/ui/thumbnail_loader.h"

#include <algorithm>

namespace quarry::carving {
namespace {

// Photos waiting for a thumbnail hold their carved bytes; past these bounds photos go on
// without one, so memory stays bounded when decoding falls behind reading.
constexpr std::size_t kMaxJobs = 16;
constexpr std::size_t kMaxJobBytes = 64u << 20;
// Items handed to the GUI thread in one go.
constexpr std::size_t kMaxDrainEvents = 2000;
// Items waiting for the GUI thread; past this the worker waits, so the window is never far
// behind the scan and has no long catching up to do at its end.
constexpr std::size_t kMaxOutgoing = 4000;

} // namespace

FoundItemStream::FoundItemStream(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

FoundItemStream::~FoundItemStream() {
    pool_.waitForDone();
}

void FoundItemStream::setNullImageData(const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    nullImageData_ = bytes;
}

void FoundItemStream::setMedium(std::shared_ptr<SectorSource> medium) {
    std::lock_guard lock(mutex_);
    medium_ = std::move(medium);
}

void FoundItemStream::passStarted(PassKind pass, const char* modeLabel) {
    Event event;
    event.pass = pass;
    event.label = QString::fromUtf8(modeLabel);
    complete(nextSequence_++, std::move(event));
}

void FoundItemStream::photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                                const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                                std::uint64_t unreadableSectors) {
    if (bytes.empty())
        return;
    waitForRoom();
    const std::uint64_t sequence = nextSequence_++;
    Event event;
    event.kind = Event::Kind::Photo;
    event.pass = pass;
    event.item =
        results::MyImageObject(QByteArray(), QString::fromStdString(name), QString::fromStdString(uid));
    event.item.unreadableSectors = unreadableSectors;
    event.item.carvedBytes = bytes.size();
    event.item.photoFirstSector = firstSector;
    event.item.photoEndSector = endSector;
    if (const auto size = results::pictureSize(bytes))
        event.item.pixelSize = QSize(static_cast<int>(size->width), static_cast<int>(size->height));
    // The scan never waits for thumbnails: while the pool is busy, the item goes on without
    // one, and the browser has it made when it first shows the item.
    QByteArray placeholder;
    std::shared_ptr<SectorSource> medium;
    {
        std::lock_guard lock(mutex_);
        if (jobs_ >= std::min(kMaxJobs, thumbnailJobs_) || jobBytes_ + bytes.size() > kMaxJobBytes) {
            event.item.thumbnailPending = true;
        } else {
            ++jobs_;
            jobBytes_ += bytes.size();
            placeholder = nullImageData_;
            medium = medium_;
        }
    }
    if (event.item.thumbnailPending) {
        complete(sequence, std::move(event));
        return;
    }
    // The engine reuses its buffer once this returns, so the job gets its own copy.
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    pool_.start([this, sequence, event = std::move(event), data = std::move(data),
                 placeholder = std::move(placeholder), medium = std::move(medium), firstSector,
                 name]() mutable {
        QSize pixels;
        event.item.imageData =
            results::photoThumbnail(data, name, firstSector, medium.get(), placeholder, &pixels);
        if (pixels.isValid())
            event.item.pixelSize = pixels;
        complete(sequence, std::move(event));
        std::lock_guard lock(mutex_);
        --jobs_;
        jobBytes_ -= static_cast<std::size_t>(data.size());
        jobsChanged_.notify_all();
    });
}

void FoundItemStream::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                              std::uint64_t startSector, std::uint64_t endSector,
                              std::uint64_t unreadableSectors) {
    auto item = results::makeFileItem(QString::fromStdString(name), QString::fromStdString(uid), startSector,
                                      endSector);
    if (!item)
        return;
    waitForRoom();
    item->unreadableSectors = unreadableSectors;
    Event event;
    event.kind = Event::Kind::File;
    event.pass = pass;
    event.item = std::move(*item);
    complete(nextSequence_++, std::move(event));
}

void FoundItemStream::complete(std::uint64_t sequence, Event event) {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        finished_.emplace(sequence, std::move(event));
        for (auto it = finished_.begin(); it != finished_.end() && it->first == nextRelease_;
             it = finished_.erase(it), ++nextRelease_)
            outgoing_.push_back(std::move(it->second));
        if (!outgoing_.empty() && !drainPosted_) {
            drainPosted_ = true;
            post = true;
        }
    }
    if (post)
        postDrain();
}

void FoundItemStream::flush() {
    std::unique_lock lock(mutex_);
    jobsChanged_.wait(lock, [&] { return jobs_ == 0; });
    // No thumbnail is pending, so the scan's second handle of the medium can go.
    medium_.reset();
}

void FoundItemStream::setThumbnailJobs(std::size_t jobs) {
    std::lock_guard lock(mutex_);
    thumbnailJobs_ = jobs;
}

void FoundItemStream::waitForRoom() {
    std::unique_lock lock(mutex_);
    jobsChanged_.wait(lock, [&] { return outgoing_.size() < kMaxOutgoing; });
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
    std::vector<Event> events;
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        // A slice at a time, so a burst of items never holds up the GUI thread for long; the
        // rest follows in the next call.
        const auto slice = std::min(outgoing_.size(), kMaxDrainEvents);
        events.assign(std::make_move_iterator(outgoing_.begin()),
                      std::make_move_iterator(outgoing_.begin() + static_cast<std::ptrdiff_t>(slice)));
        outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(slice));
        more = !outgoing_.empty();
        drainPosted_ = more;
    }
    jobsChanged_.notify_all();
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
