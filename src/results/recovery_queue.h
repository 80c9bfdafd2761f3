#pragma once

#include "carving/scan.h"
#include "results/saver.h"
#include "results/validated_saver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quarry::traces {
class TraceCatalog;
}

namespace quarry::results {

// A batch's progress; the byte totals count the items as carved.
struct RecoveryProgress {
    std::uint64_t files = 0;
    std::uint64_t totalFiles = 0;
    std::uint64_t bytes = 0;
    std::uint64_t totalBytes = 0;
};

struct RecoveryOutcome {
    std::uint64_t saved = 0;
    std::uint64_t savedBytes = 0; // the saved files' sizes
    std::uint64_t skipped = 0;    // not saved on purpose: copies, and rejected items
    std::uint64_t failed = 0;     // for a reason other than a full destination
    bool destinationFull = false;
    bool cancelled = false;
    bool sourceUnreadable = false;
};

// What the saving thread reports, on that thread.
struct RecoveryEvents {
    std::function<void(const RecoveryProgress&)> batchProgress;
    std::function<void()> batchEnded;
    // Saving during the scan stopped because the destination is full; once per scan.
    std::function<void()> liveDestinationFull;
    // The format check of the found item `row` (in found order) is done: `note` says what it is
    // and where it went; `copy` when an earlier item of this scan holds the same file; `check`
    // is its FileCheck.
    std::function<void(int row, const std::string& name, const std::string& note, bool copy, int check)>
        itemChecked;
};

// Keeps the list of every item a scan hands over and saves them, one file at a time, on a
// thread of its own, so the scan's read loop never waits for the destination disk. Items are
// saved while the scan runs when it was started with a destination (in found order, so the
// files and their " (2)" names match quarry-carve --output), and afterwards in batches of
// the items still unsaved. An item that could not be saved stays unsaved for the next batch.
// The ScanSink side runs on the scan's worker; the rest on one controlling thread.
class RecoveryQueue : public carving::ScanSink {
public:
    explicit RecoveryQueue(RecoveryEvents events = {});
    // Abandons the file being written; items still queued stay unsaved.
    ~RecoveryQueue() override;

    // How saved files reach the disk; tests put a full disk here.
    void setFileSystem(SaveFileSystem* fileSystem) { fileSystem_ = fileSystem; }

    // A new scan of `source` begins: the list of found items starts empty. With `live`, each
    // item is saved as it is handed over. False, with saving off, when the medium cannot be
    // opened a second time for saving. Call while no scan runs.
    bool beginScan(const std::string& source, SearchKind kind, std::optional<std::filesystem::path> live);
    // Whether items whose format check fails are saved too, into kRejectedFolder. Read when a
    // scan or a batch begins.
    void setKeepRejected(bool keep) { keepRejected_ = keep; }

    const std::string& scannedSource() const { return source_; }
    SearchKind scannedKind() const { return kind_; }
    // Items found by the current scan, and how many of them are saved.
    std::uint64_t foundCount() const;
    std::uint64_t savedCount() const;
    // Found items not saved on purpose: copies of files saved already, and rejected items.
    std::uint64_t skippedCount() const;
    // Found items neither saved, on their way to be, nor skipped on purpose.
    std::uint64_t unsavedCount() const;

    // Queues every found item not saved or queued yet, to be saved below `destination` after
    // what is queued already. Returns the progress it starts from (totalFiles 0: nothing to do,
    // or the medium cannot be opened, see lastBatch()).
    // With `rows` (found order), only those of them.
    RecoveryProgress recoverUnsaved(const std::filesystem::path& destination,
                                    const std::optional<std::vector<int>>& rows = std::nullopt);
    // The running batch stops, abandoning the file it is writing.
    void cancelBatch();
    // Blocks until the batch has ended; what became of it.
    RecoveryOutcome waitForBatch();
    // Blocks until everything queued so far is settled.
    void waitForIdle();

    // The scan's file-system traces, once it has ended: the items it saved are moved under the
    // names the traces give, and so is every item a later batch saves; a raw-file scan's
    // files known only from their traces are saved too, once.
    void nameFromTraces(std::shared_ptr<const traces::TraceCatalog> traces);

    void photoItem(carving::PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                   const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                   std::uint64_t unreadableSectors) override;
    void sharedPhotoItem(carving::PassKind pass, const carving::ItemBytes& bytes, const std::string& name,
                         const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                         std::uint64_t unreadableSectors) override;
    void rawItem(carving::PassKind pass, const std::string& name, const std::string& uid,
                 std::uint64_t startSector, std::uint64_t endSector,
                 std::uint64_t unreadableSectors) override;

private:
    struct FoundItem {
        bool photo = false;
        std::string name;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        int row = 0;
        std::uint64_t unreadable = 0; // sectors that read as zeros in the scan
        // Skipped: not saved on purpose (a copy, or rejected), so no batch tries it again.
        enum class State { Unsaved, Queued, Saved, Skipped } state = State::Unsaved;
    };
    struct Session;
    struct Job {
        std::shared_ptr<Session> session;
        std::shared_ptr<FoundItem> item; // null: the naming from traces, after the items before it
        carving::ItemBytes bytes;        // a photo's carved bytes; null: read from the medium
    };

    void enqueue(std::shared_ptr<FoundItem> item, const carving::ItemBytes& bytes);
    void run();
    void save(Job& job);
    void settle(Job& job, const SavedItem& saved, std::uint64_t bytes);
    void nameSaved(Session& session, bool tracedOnly);

    const RecoveryEvents events_;
    SaveFileSystem* fileSystem_ = nullptr;
    std::atomic<bool> keepRejected_{false};
    // What the current scan's items were saved as; used on the saving thread only.
    std::shared_ptr<SavedExtents> savedExtents_ = std::make_shared<SavedExtents>();
    std::string source_;
    SearchKind kind_ = SearchKind::Photo;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<FoundItem>> found_;
    std::shared_ptr<Session> live_;
    std::shared_ptr<Session> batch_;
    std::deque<Job> queue_;
    std::shared_ptr<const traces::TraceCatalog> traces_;
    std::uint64_t tracesGeneration_ = 0; // counts the scans whose traces came
    // The scan whose files known only from traces were saved; used on the saving thread only.
    std::uint64_t tracedOnlySaved_ = 0;
    std::size_t queuedBytes_ = 0;
    bool saving_ = false; // a job is out of the queue and not settled yet
    bool stopping_ = false;

    std::thread thread_; // last, so it starts after and stops before the state it uses
};

} // namespace quarry::results
