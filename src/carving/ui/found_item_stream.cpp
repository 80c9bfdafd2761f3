#include "carving/ui/found_item_stream.h"

#include "results/ui/item_adder.h"
#include "results/ui/thumbnail.h"
#include "results/validated_saver.h"

#include <algorithm>

namespace quarry::carving {
namespace {

// Photos waiting for a thumbnail hold their carved bytes; past these bounds the worker waits,
// so memory stays bounded when decoding falls behind reading.
constexpr std::size_t kMaxJobs = 16;
constexpr std::size_t kMaxJobBytes = 64u << 20;
// Longest photo read again from the medium for its thumbnail.
constexpr std::uint64_t kMaxWholePhotoBytes = 64u << 20;

// The photo's whole file when its item was cut short and the medium holds the rest, else the item.
QByteArray thumbnailSource(QByteArray item, const std::string& name, std::uint64_t firstSector,
                           SectorSource* medium) {
    if (medium == nullptr)
        return item;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(item.constData()),
                                              static_cast<std::size_t>(item.size()));
    const auto whole = results::wholePhotoFromMedium(name, bytes, firstSector, *medium, kMaxWholePhotoBytes);
    if (!whole)
        return item;
    return QByteArray(reinterpret_cast<const char*>(whole->data()), static_cast<qsizetype>(whole->size()));
}

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
    const std::uint64_t sequence = nextSequence_++;
    // The engine reuses its buffer once this returns, so the job gets its own copy.
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QByteArray placeholder;
    std::shared_ptr<SectorSource> medium;
    {
        std::unique_lock lock(mutex_);
        jobsChanged_.wait(lock, [&] {
            return jobs_ == 0 || (jobs_ < kMaxJobs && jobBytes_ + bytes.size() <= kMaxJobBytes);
        });
        ++jobs_;
        jobBytes_ += bytes.size();
        placeholder = nullImageData_;
        medium = medium_;
    }
    pool_.start([this, sequence, pass, data = std::move(data), placeholder = std::move(placeholder),
                 medium = std::move(medium), firstSector, endSector, name, uid, unreadableSectors] {
        Event event;
        event.kind = Event::Kind::Photo;
        event.pass = pass;
        const QByteArray image = thumbnailSource(data, name, firstSector, medium.get());
        event.item = results::MyImageObject(results::makeThumbnail(image, placeholder),
                                            QString::fromStdString(name), QString::fromStdString(uid));
        event.item.unreadableSectors = unreadableSectors;
        event.item.photoFirstSector = firstSector;
        event.item.photoEndSector = endSector;
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
        QMetaObject::invokeMethod(this, &FoundItemStream::drain, Qt::QueuedConnection);
}

void FoundItemStream::flush() {
    std::unique_lock lock(mutex_);
    jobsChanged_.wait(lock, [&] { return jobs_ == 0; });
    // No thumbnail is pending, so the scan's second handle of the medium can go.
    medium_.reset();
}

void FoundItemStream::drain() {
    std::vector<Event> events;
    {
        std::lock_guard lock(mutex_);
        events.swap(outgoing_);
        drainPosted_ = false;
    }
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
}

} // namespace quarry::carving
