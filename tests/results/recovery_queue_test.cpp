#include "common/sector.h"
#include "results/recovery_queue.h"
#include "test_files.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
using namespace quarry::test;
using quarry::carving::PassKind;

// The destination's file system, held shut until opened; says when the saving thread waits on it.
class HeldDisk final : public SaveFileSystem {
public:
    std::optional<std::uint64_t> availableBytes(const std::filesystem::path&) override {
        std::unique_lock lock(mutex_);
        waiting_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
        return std::uint64_t{1} << 40;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override { return ::write(fd, data, size); }
    void waitUntilBusy() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool waiting_ = false;
    bool open_ = false;
};

// A medium holding four pictures.
struct Medium {
    Medium() {
        for (const char* name : {"061_BlueSquare.jpg", "040_Canon_40D.jpg", "042_Pentax_K10D.jpg",
                                 "044_Canon_PowerShot_S40.jpg"}) {
            std::vector<std::uint8_t> bytes = corpusBytes(name);
            const std::uint64_t first = image.size() / kSectorSize;
            bytes.resize((bytes.size() + kSectorSize - 1) / kSectorSize * kSectorSize, 0);
            image.insert(image.end(), bytes.begin(), bytes.end());
            items.push_back({first, image.size() / kSectorSize});
        }
        writeBytes(path(), image);
    }
    fs::path path() const { return dir.path() / "card.img"; }
    // Hands every picture over as a photo scan would, on a thread of its own; the thorough
    // pass finds the second one again.
    void scanInto(RecoveryQueue& queue) const {
        std::thread worker([&] {
            for (std::size_t k = 0; k <= items.size(); ++k) {
                const auto [first, end] = items[k < items.size() ? k : 1];
                const std::span<const std::uint8_t> bytes(image.data() + first * kSectorSize,
                                                          (end - first) * kSectorSize);
                const std::string name = "GND0000" + std::to_string(k + 1) + ".JPG";
                queue.photoItem(k < items.size() ? PassKind::General : PassKind::Thorough, bytes, name, name,
                                first, end, 0);
            }
        });
        worker.join();
    }

    TempDir dir;
    std::vector<std::uint8_t> image;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> items;
};

struct Checked {
    int row;
    bool copy;
    bool operator==(const Checked&) const = default;
};

TEST(RecoveryQueue, LiveSavingKeepsFoundOrderAndSavesACopyOnce) {
    const Medium medium;
    TempDir out;
    std::mutex mutex;
    std::vector<Checked> checked;
    RecoveryEvents events;
    events.itemChecked = [&](int row, const std::string&, const std::string& note, bool copy, int) {
        std::lock_guard lock(mutex);
        checked.push_back({row, copy});
        EXPECT_FALSE(note.empty());
    };
    RecoveryQueue queue(events);
    ASSERT_TRUE(queue.beginScan(medium.path().string(), SearchKind::Photo, out.path()));
    medium.scanInto(queue);
    queue.waitForIdle();

    EXPECT_EQ(queue.foundCount(), 5u);
    EXPECT_EQ(queue.savedCount(), 4u);
    EXPECT_EQ(queue.skippedCount(), 1u);
    EXPECT_EQ(queue.unsavedCount(), 0u);
    std::lock_guard lock(mutex);
    EXPECT_EQ(checked, (std::vector<Checked>{{0, false}, {1, false}, {2, false}, {3, false}, {4, true}}));
}

// A batch cancelled, or the queue going away, while the saving thread waits on the destination:
// nothing more is saved, and a cancelled batch's items stay unsaved for the next one.
TEST(RecoveryQueue, StopWhileTheWriterIsBusy) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy);
        const Medium medium;
        TempDir out;
        HeldDisk held;
        std::atomic<int> ended{0};
        RecoveryEvents events;
        events.batchEnded = [&] {
            ended.fetch_add(1);
        };
        auto queue = std::make_unique<RecoveryQueue>(events);
        queue->setFileSystem(&held);
        ASSERT_TRUE(queue->beginScan(medium.path().string(), SearchKind::Photo, std::nullopt));
        medium.scanInto(*queue);
        EXPECT_EQ(queue->recoverUnsaved(out.path()).totalFiles, 5u);
        held.waitUntilBusy();
        if (destroy) {
            std::thread opener([&] { held.open(); });
            queue.reset();
            opener.join();
            EXPECT_EQ(ended.load(), 0);
            continue;
        }
        queue->cancelBatch();
        held.open();
        const RecoveryOutcome outcome = queue->waitForBatch();
        EXPECT_TRUE(outcome.cancelled);
        EXPECT_LE(outcome.saved, 1u);
        queue->waitForIdle(); // the end is reported once the last item has settled
        EXPECT_EQ(ended.load(), 1);
        queue->setFileSystem(nullptr);
        queue->recoverUnsaved(out.path());
        queue->waitForBatch();
        EXPECT_EQ(queue->savedCount(), 4u);
        EXPECT_EQ(queue->skippedCount(), 1u);
    }
}

} // namespace
