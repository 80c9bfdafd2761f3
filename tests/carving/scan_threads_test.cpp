#include "carving/job_pool.h"
#include "carving/ordered_handoff.h"
#include "carving/scan_runner.h"
#include "carving_test_support.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <thread>

namespace quarry::carving {
namespace {

using namespace test_support;

// Keeps the bytes of every photo handed over, as shared, and every item's name.
class KeepingSink final : public ScanSink {
public:
    void sharedPhotoItem(PassKind, const ItemBytes& bytes, const std::string& name, const std::string&,
                         std::uint64_t, std::uint64_t, std::uint64_t) override {
        kept.push_back(bytes);
        names.push_back(name);
    }
    void rawItem(PassKind, const std::string& name, const std::string&, std::uint64_t, std::uint64_t,
                 std::uint64_t) override {
        names.push_back(name);
    }
    std::vector<ItemBytes> kept;
    std::vector<std::string> names;
};

// A medium whose reads past `gate` wait until the scan is asked to stop, so that the stop lands
// at a known sector; says when it is closed.
class StopGatedSource final : public SectorSource {
public:
    StopGatedSource(const Image& image, std::uint64_t gate, const ScanControl& control,
                    std::atomic<bool>& closed)
        : inner_(image.source()), gate_(gate), control_(control), closed_(closed) {}
    ~StopGatedSource() override { closed_.store(true); }
    std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first + count > gate_) {
            reached.store(true);
            while (control_.stop_now.load() == 0)
                std::this_thread::yield();
        }
        return inner_.readSectors(first, count, out);
    }
    static inline std::atomic<bool> reached{false};

private:
    MemorySource inner_;
    std::uint64_t gate_;
    const ScanControl& control_;
    std::atomic<bool>& closed_;
};

struct RunnerFixture {
    RunnerFixture() {
        addRecord(list, "JPG", "4096", "FFD8FF", "1");
        for (const std::uint64_t s : {10, 20, 30, 900})
            image.put(s, 0, hexBytes("FFD8FFE0"));
        request.end_sector = image.sectors();
        request.general = &list;
        request.thorough = &list;
        request.thoroughPass = false;
        request.blockSectors = 8;
        runner.setEndedHandler([this, counted = ends](const ScanResult& result) {
            // The source is closed before the end is reported, and the scan still counts as running.
            sourceClosedAtEnd = closed.load();
            runningAtEnd = runner.isRunning();
            counted->fetch_add(1);
            status = result.status;
        });
    }
    std::unique_ptr<SectorSource> gatedSource(std::uint64_t gate) {
        StopGatedSource::reached.store(false);
        return std::make_unique<StopGatedSource>(image, gate, control, closed);
    }

    signatures::SignatureList list;
    Image image{1000};
    ScanRequest request;
    PhotoCounters counters;
    ScanControl control;
    KeepingSink extra;
    KeepingSink main;
    std::atomic<bool> closed{false};
    // Outlives the fixture, for the runner's destruction case.
    std::shared_ptr<std::atomic<int>> ends = std::make_shared<std::atomic<int>>(0);
    std::atomic<bool> sourceClosedAtEnd{false};
    std::atomic<bool> runningAtEnd{false};
    std::atomic<ScanStatus> status{ScanStatus::Complete};
    ScanRunner runner{control, main}; // last: its worker ends before what it uses goes
};

TEST(CarvingStop, StopFromAnotherThreadIsSeenAtTheNextSector) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    Image image(1024);
    image.put(10, 0, hexBytes("52494646"));
    ScanControl control;
    std::atomic<bool> closed{false};
    StopGatedSource::reached.store(false);
    StopGatedSource source(image, 128, control, closed);

    FoundFileGroups groups;
    makeGroups(groups, {"AVI"});
    RecordingSink sink(control);
    ScanRequest request;
    request.source = &source;
    request.end_sector = image.sectors();
    request.general = &list;
    request.thorough = &list;
    request.blockSectors = 64;

    ScanResult result;
    std::thread worker([&] { result = runRawScan(request, control, groups, sink); });
    while (!StopGatedSource::reached.load())
        std::this_thread::yield();
    control.stop_now.store(1);
    worker.join();

    EXPECT_EQ(result.status, ScanStatus::Stopped);
    EXPECT_EQ(control.stop_now.load(), 0);
    EXPECT_EQ(control.for_index.load(), 129u);
    EXPECT_EQ(items(sink.events), (std::vector<Item>{{"AVI00001.AVI", 10, 129}}));
}

TEST(ScanRunner, BothSinksShareOneCopyOfEachPhotoAndTheEndComesOnce) {
    RunnerFixture f;
    f.runner.setExtraSink(&f.extra);
    ASSERT_TRUE(f.runner.startPhotoScan(f.gatedSource(f.image.sectors()), f.request, f.counters));
    f.runner.waitForWorker();

    EXPECT_EQ(f.ends->load(), 1);
    EXPECT_TRUE(f.sourceClosedAtEnd.load());
    EXPECT_TRUE(f.runningAtEnd.load());
    EXPECT_FALSE(f.runner.isRunning());
    EXPECT_EQ(f.status.load(), ScanStatus::Complete);
    EXPECT_EQ(f.main.names,
              (std::vector<std::string>{"GND00001.JPG", "GND00002.JPG", "GND00003.JPG", "GND00004.JPG"}));
    EXPECT_EQ(f.extra.names, f.main.names);
    ASSERT_EQ(f.extra.kept.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(f.extra.kept[k], f.main.kept[k]); // the same buffer, not a second copy
}

// A stop, or the runner going away, while the worker waits in a read: the scan ends once with
// what it found before the gate; a second start is refused meanwhile.
TEST(ScanRunner, StopOrDestructionDuringAScanEndsItOnce) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy);
        auto f = std::make_unique<RunnerFixture>();
        ASSERT_TRUE(f->runner.startPhotoScan(f->gatedSource(500), f->request, f->counters));
        while (!StopGatedSource::reached.load())
            std::this_thread::yield();
        EXPECT_FALSE(f->runner.startPhotoScan(nullptr, f->request, f->counters));
        const auto ends = f->ends;
        if (destroy) {
            f.reset();
            EXPECT_EQ(ends->load(), 1);
            continue;
        }
        f->runner.requestStop();
        f->runner.waitForWorker();
        EXPECT_EQ(ends->load(), 1);
        EXPECT_EQ(f->status.load(), ScanStatus::Stopped);
        EXPECT_EQ(f->control.stop_now.load(), 0);
        EXPECT_LT(f->main.names.size(), 4u);
    }
}

TEST(ScanRunner, AMediumThatCannotBeOpenedStillEndsTheScan) {
    RunnerFixture f;
    ScanRequest request;
    request.end_sector = 100;
    FoundFileGroups groups;
    ASSERT_TRUE(f.runner.startRawScan(nullptr, request, groups));
    f.runner.waitForWorker();
    EXPECT_EQ(f.ends->load(), 1);
    EXPECT_EQ(f.status.load(), ScanStatus::OpenFailure);
}

// The consumer side, as a GUI thread would run it: drains when told to.
class Consumer {
public:
    explicit Consumer(OrderedHandoff<int>*& handoff) : handoff_(handoff) {}
    void ready() {
        std::lock_guard lock(mutex_);
        ++told_;
        changed_.notify_all();
    }
    // Takes slices until `count` events have arrived.
    std::vector<int> take(std::size_t count) {
        std::vector<int> got;
        while (got.size() < count) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return told_ > 0; });
                --told_;
            }
            while (handoff_->takeSlice(got)) {
            }
        }
        return got;
    }

private:
    OrderedHandoff<int>*& handoff_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int told_ = 0;
};

TEST(OrderedHandoff, ReleasesInProducedOrderWhateverTheJobsTake) {
    constexpr int kEvents = 3000;
    OrderedHandoff<int>* handle = nullptr;
    Consumer consumer(handle);
    HandoffLimits limits;
    limits.jobs = 4;
    limits.jobBytes = 10;
    limits.sliceEvents = 7;
    limits.outgoing = 50; // far fewer than the events: the producer must wait for the consumer
    OrderedHandoff<int> handoff(
        3, [&] { consumer.ready(); }, limits);
    handle = &handoff;
    std::atomic<int> jobsRun{0};
    std::thread producer([&] {
        std::mt19937 random(7);
        for (int k = 0; k < kEvents; ++k) {
            handoff.waitForRoom();
            const std::uint64_t sequence = handoff.nextSequence();
            if (k % 3 == 0 && handoff.reserveJob(2)) {
                const auto pause = std::chrono::microseconds(random() % 200);
                handoff.runJob(sequence, 2, [k, pause, &jobsRun] {
                    std::this_thread::sleep_for(pause);
                    jobsRun.fetch_add(1);
                    return k;
                });
            } else {
                handoff.complete(sequence, k);
            }
        }
        handoff.waitForJobs();
    });
    const std::vector<int> got = consumer.take(kEvents);
    producer.join();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kEvents));
    for (int k = 0; k < kEvents; ++k)
        ASSERT_EQ(got[static_cast<std::size_t>(k)], k);
    EXPECT_GT(jobsRun.load(), 0);
}

TEST(OrderedHandoff, JobSlotsFollowCountAndByteLimits) {
    HandoffLimits limits;
    limits.jobs = 3;
    limits.jobBytes = 100;
    OrderedHandoff<int> handoff(
        1, [] {}, limits);
    struct Step {
        std::size_t bytes;
        bool granted;
    };
    for (const Step step : {Step{60, true}, Step{50, false}, Step{30, true}, Step{10, true}, Step{0, false}})
        EXPECT_EQ(handoff.reserveJob(step.bytes), step.granted) << step.bytes;
    OrderedHandoff<int> limited(
        1, [] {}, limits);
    limited.setJobLimit(1);
    EXPECT_TRUE(limited.reserveJob(1));
    EXPECT_FALSE(limited.reserveJob(1));
}

TEST(JobPool, RunsEverySubmittedJobBeforeItEnds) {
    std::atomic<int> done{0};
    {
        JobPool pool(2);
        for (int k = 0; k < 50; ++k)
            pool.submit([&] {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
                done.fetch_add(1);
            });
    }
    EXPECT_EQ(done.load(), 50);
}

} // namespace
} // namespace quarry::carving
