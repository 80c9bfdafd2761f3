#include "results/recovery_queue.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/traced_names.h"
#include "results/validated_saver.h"
#include "traces/traced_file.h"

#include <algorithm>

namespace quarry::results {
namespace {

std::uint64_t carvedBytes(std::uint64_t start, std::uint64_t end) {
    return end > start ? (end - start) * kSectorSize : 0;
}

// What became of a checked item, for its tooltip in the browser.
std::string checkNote(const SavedItem& saved) {
    const std::string& type = saved.type;
    if (!saved.duplicateOf.empty())
        return "Copy of " + saved.duplicateOf + ", saved once";
    if (!saved.partOf.empty())
        return "Part of " + saved.partOf + ", not saved on its own";
    switch (saved.check) {
    case FileCheck::Verified:
        return "Whole " + type + " file, saved as " + saved.save.path.filename().string();
    case FileCheck::Rejected:
        return saved.save.ok ? "Not a whole " + type + " file; kept in " + kRejectedFolder
                             : "Not a whole " + type + " file; not saved";
    case FileCheck::Unverified:
        break;
    }
    return "Saved as found (a " + type + " file cannot be checked)";
}

} // namespace

struct RecoveryQueue::Session {
    Session(const std::filesystem::path& destination, SearchKind kind, SaveFileSystem& fileSystem,
            std::unique_ptr<carving::SectorSource> medium, std::shared_ptr<SavedExtents> saved,
            bool keepRejected, bool isBatch)
        : source(std::move(medium)), extents(std::move(saved)), saver(destination, kind, fileSystem),
          validated(saver, source.get(), *extents, keepRejected), naming(saver), batch(isBatch) {
        saver.setStopRequest([this] { return cancelled.load(); });
    }

    std::unique_ptr<carving::SectorSource> source;
    std::shared_ptr<SavedExtents> extents;
    ItemSaver saver;
    ValidatedSaver validated;
    TracedNaming naming;
    const bool batch;
    std::atomic<bool> cancelled{false};
    // Guarded by the writer's mutex.
    RecoveryProgress progress;
    RecoveryOutcome outcome;
    std::uint64_t pending = 0;
    bool fullReported = false;
};

RecoveryQueue::RecoveryQueue(RecoveryEvents events)
    : events_(std::move(events)), thread_([this] { run(); }) {}

RecoveryQueue::~RecoveryQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (batch_)
            batch_->cancelled = true;
        if (live_)
            live_->cancelled = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool RecoveryQueue::beginScan(const std::string& source, SearchKind kind,
                              std::optional<std::filesystem::path> live) {
    std::shared_ptr<Session> session;
    auto extents = std::make_shared<SavedExtents>();
    bool ok = true;
    if (live) {
        // Items are measured and copied through a handle of their own, so the scan's reads
        // stay sequential.
        auto medium = carving::openFileSource(source);
        ok = medium != nullptr;
        if (ok)
            session = std::make_shared<Session>(*live, kind, fileSystem_ ? *fileSystem_ : systemFileSystem(),
                                                std::move(medium), extents, keepRejected_, false);
    }
    std::lock_guard lock(mutex_);
    savedExtents_ = std::move(extents);
    traces_.reset();
    found_.clear();
    live_ = std::move(session);
    source_ = source;
    kind_ = kind;
    return ok;
}

std::uint64_t RecoveryQueue::foundCount() const {
    std::lock_guard lock(mutex_);
    return found_.size();
}

namespace {

template <typename Items, typename State> std::uint64_t countIn(const Items& items, State state) {
    return static_cast<std::uint64_t>(
        std::count_if(items.begin(), items.end(), [&](const auto& item) { return item->state == state; }));
}

} // namespace

std::uint64_t RecoveryQueue::savedCount() const {
    std::lock_guard lock(mutex_);
    return countIn(found_, FoundItem::State::Saved);
}

std::uint64_t RecoveryQueue::skippedCount() const {
    std::lock_guard lock(mutex_);
    return countIn(found_, FoundItem::State::Skipped);
}

std::uint64_t RecoveryQueue::unsavedCount() const {
    std::lock_guard lock(mutex_);
    return countIn(found_, FoundItem::State::Unsaved);
}

void RecoveryQueue::photoItem(carving::PassKind pass, std::span<const std::uint8_t> bytes,
                              const std::string& name, const std::string& uid, std::uint64_t firstSector,
                              std::uint64_t endSector, std::uint64_t unreadableSectors) {
    if (!bytes.empty())
        sharedPhotoItem(pass, std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end()),
                        name, uid, firstSector, endSector, unreadableSectors);
}

void RecoveryQueue::sharedPhotoItem(carving::PassKind, const carving::ItemBytes& bytes,
                                    const std::string& name, const std::string&, std::uint64_t firstSector,
                                    std::uint64_t endSector, std::uint64_t unreadableSectors) {
    if (bytes->empty())
        return;
    auto item = std::make_shared<FoundItem>();
    item->photo = true;
    item->name = name;
    item->start = firstSector;
    item->end = endSector;
    item->unreadable = unreadableSectors;
    enqueue(std::move(item), bytes);
}

void RecoveryQueue::rawItem(carving::PassKind, const std::string& name, const std::string&,
                            std::uint64_t startSector, std::uint64_t endSector,
                            std::uint64_t unreadableSectors) {
    auto item = std::make_shared<FoundItem>();
    item->name = name;
    item->start = startSector;
    item->end = endSector;
    item->unreadable = unreadableSectors;
    enqueue(std::move(item), nullptr);
}

void RecoveryQueue::enqueue(std::shared_ptr<FoundItem> item, const carving::ItemBytes& bytes) {
    std::unique_lock lock(mutex_);
    item->row = static_cast<int>(found_.size());
    found_.push_back(item);
    if (!live_)
        return;
    // Queued before waiting for room, so no batch takes it meanwhile.
    item->state = FoundItem::State::Queued;
    ++live_->pending;
    const std::size_t size = bytes ? bytes->size() : 0;
    changed_.wait(lock, [&] {
        return stopping_ || queue_.empty() || queuedBytes_ + size <= carving::kMaxHeldItemBytes;
    });
    queue_.push_back({live_, std::move(item), bytes});
    queuedBytes_ += size;
    changed_.notify_all();
}

RecoveryProgress RecoveryQueue::recoverUnsaved(const std::filesystem::path& destination,
                                               const std::optional<std::vector<int>>& rows) {
    std::vector<std::shared_ptr<FoundItem>> unsaved;
    {
        std::lock_guard lock(mutex_);
        const auto take = [&](const std::shared_ptr<FoundItem>& item) {
            if (item->state == FoundItem::State::Unsaved)
                unsaved.push_back(item);
        };
        if (!rows) {
            std::for_each(found_.begin(), found_.end(), take);
        } else {
            std::vector<int> sorted = *rows;
            std::sort(sorted.begin(), sorted.end());
            sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
            // In found order, so numbered names come out as a whole batch would make them.
            for (const int row : sorted) {
                if (row >= 0 && static_cast<std::size_t>(row) < found_.size())
                    take(found_[static_cast<std::size_t>(row)]);
            }
        }
    }
    std::unique_ptr<carving::SectorSource> medium;
    if (!unsaved.empty())
        medium = carving::openFileSource(source_);
    std::unique_lock lock(mutex_);
    auto session =
        std::make_shared<Session>(destination, kind_, fileSystem_ ? *fileSystem_ : systemFileSystem(),
                                  std::move(medium), savedExtents_, keepRejected_, true);
    batch_ = session;
    if (!unsaved.empty() && !session->source) {
        session->outcome.sourceUnreadable = true;
        return session->progress;
    }
    for (auto& item : unsaved) {
        // The scan may have handed the item to live saving meanwhile.
        if (item->state != FoundItem::State::Unsaved)
            continue;
        item->state = FoundItem::State::Queued;
        session->progress.totalBytes += carvedBytes(item->start, item->end);
        ++session->progress.totalFiles;
        ++session->pending;
        queue_.push_back({session, std::move(item), nullptr});
    }
    if (traces_)
        queue_.push_back({session, nullptr, nullptr});
    changed_.notify_all();
    return session->progress;
}

void RecoveryQueue::cancelBatch() {
    std::lock_guard lock(mutex_);
    if (batch_)
        batch_->cancelled = true;
}

RecoveryOutcome RecoveryQueue::waitForBatch() {
    std::unique_lock lock(mutex_);
    if (!batch_)
        return {};
    changed_.wait(lock, [&] { return batch_->pending == 0; });
    return batch_->outcome;
}

void RecoveryQueue::waitForIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || (queue_.empty() && !saving_); });
}

void RecoveryQueue::nameFromTraces(std::shared_ptr<const traces::TraceCatalog> traces) {
    std::lock_guard lock(mutex_);
    traces_ = std::move(traces);
    ++tracesGeneration_;
    if (live_)
        queue_.push_back({live_, nullptr, nullptr});
    changed_.notify_all();
}

// Saving thread: renames what was saved since the last naming; then, with `tracedOnly` in a
// raw-file scan, saves the files that only traces know of, once.
void RecoveryQueue::nameSaved(Session& session, bool tracedOnly) {
    std::shared_ptr<const traces::TraceCatalog> traces;
    SearchKind kind = SearchKind::Photo;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        traces = traces_;
        kind = kind_;
        generation = tracesGeneration_;
    }
    if (!traces || session.cancelled)
        return;
    session.naming.nameSaved(*traces);
    if (tracedOnly && kind == SearchKind::File && tracedOnlySaved_ != generation && session.source) {
        tracedOnlySaved_ = generation;
        session.naming.saveTracedOnly(*traces, *session.source, session.source->sectorCount() * kSectorSize);
    }
}

void RecoveryQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= job.bytes ? job.bytes->size() : 0;
        saving_ = true;
        changed_.notify_all();
        lock.unlock();
        if (job.item)
            save(job);
        else
            nameSaved(*job.session, true);
        lock.lock();
        saving_ = false;
        changed_.notify_all();
    }
}

void RecoveryQueue::save(Job& job) {
    Session& session = *job.session;
    const FoundItem& item = *job.item;
    const std::uint64_t carved = carvedBytes(item.start, item.end);
    // A cancelled batch and a full destination settle their items without touching the disk.
    if (session.cancelled || session.saver.destinationFull()) {
        SavedItem untouched;
        untouched.save.destinationFull = session.saver.destinationFull();
        settle(job, untouched, carved);
        return;
    }
    SavedItem saved;
    if (!item.photo)
        saved = session.validated.saveSectors(item.name, item.start, item.end);
    else if (job.bytes)
        saved = session.validated.savePhoto(item.name, *job.bytes, item.start, item.unreadable);
    else if (session.source) {
        // The photo's sectors as the engine saw them, read again for a later batch.
        std::vector<std::uint8_t> bytes(carved);
        const auto read = carving::readSectorsOrZeros(*session.source, item.start, bytes.size() / kSectorSize,
                                                      bytes.data());
        saved = session.validated.savePhoto(item.name, bytes, item.start, read.unreadable);
    }
    session.naming.remember(item.name, item.start, saved);
    // After the scan the traces are known: a batch's file takes its name at once.
    if (session.batch)
        nameSaved(session, false);
    settle(job, saved, carved);
    if ((saved.save.ok || saved.skipped) && events_.itemChecked)
        events_.itemChecked(item.row, item.name, checkNote(saved), !saved.duplicateOf.empty(),
                            static_cast<int>(saved.check));
}

void RecoveryQueue::settle(Job& job, const SavedItem& item, std::uint64_t bytes) {
    Session& session = *job.session;
    RecoveryProgress progress;
    bool ended = false;
    bool reportFull = false;
    const bool saved = item.save.ok;
    const bool full = item.save.destinationFull;
    {
        std::lock_guard lock(mutex_);
        job.item->state = saved          ? FoundItem::State::Saved
                          : item.skipped ? FoundItem::State::Skipped
                                         : FoundItem::State::Unsaved;
        auto& outcome = session.outcome;
        if (saved) {
            ++outcome.saved;
            outcome.savedBytes += item.save.bytes;
        } else if (item.skipped)
            ++outcome.skipped;
        else if (full)
            outcome.destinationFull = true;
        else if (session.cancelled)
            outcome.cancelled = true;
        else
            ++outcome.failed;
        ++session.progress.files;
        session.progress.bytes += bytes;
        progress = session.progress;
        ended = --session.pending == 0;
        reportFull = !session.batch && full && !session.fullReported;
        session.fullReported = session.fullReported || reportFull;
    }
    changed_.notify_all();
    if (session.batch) {
        if (events_.batchProgress)
            events_.batchProgress(progress);
        if (ended && events_.batchEnded)
            events_.batchEnded();
    } else if (reportFull && events_.liveDestinationFull) {
        events_.liveDestinationFull();
    }
}

} // namespace quarry::results
