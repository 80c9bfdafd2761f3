#pragma once

#include "carving/found_groups.h"
#include "carving/memory_source.h"
#include "carving/scan.h"
#include "signatures/definition_parser.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace quarry::carving::test_support {

// Appends one signature record; the first-byte value defaults to the header's first byte.
void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position,
               std::optional<std::string> firstByte = std::nullopt);

// A medium of whole sectors, zero unless written.
class Image {
public:
    explicit Image(std::uint64_t sectors) : bytes_(sectors * kSectorSize, 0) {}

    std::uint64_t sectors() const { return bytes_.size() / kSectorSize; }
    void put(std::uint64_t sector, std::size_t offset, const std::vector<std::uint8_t>& bytes);
    void fill(std::uint64_t sector, std::uint8_t value);
    void randomize(std::mt19937_64& random, std::uint64_t first, std::uint64_t end);
    // The image with `k` zero sectors in front.
    Image shifted(std::uint64_t k) const;
    MemorySource source() const { return MemorySource(bytes_); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> hexBytes(const std::string& hex);

// Everything a scan reported, with the published for_index at each call.
struct Event {
    std::string kind; // "pass", "photo" or "raw"
    PassKind pass = PassKind::General;
    std::string name;
    std::string uid;
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint64_t bytes = 0;
    std::uint64_t checksum = 0;
    std::uint64_t forIndex = 0;
    std::uint64_t unreadable = 0;
    bool operator==(const Event&) const = default;
};

class RecordingSink : public ScanSink {
public:
    explicit RecordingSink(const ScanControl& control) : control_(control) {}

    void passStarted(PassKind pass, const char* modeLabel) override;
    void photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                   const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                   std::uint64_t unreadableSectors) override;
    void rawItem(PassKind pass, const std::string& name, const std::string& uid, std::uint64_t startSector,
                 std::uint64_t endSector, std::uint64_t unreadableSectors) override;

    // Asks the scan to stop once this many items have been handed over.
    void stopAfterItems(std::size_t count, ScanControl& control) {
        stopAfter_ = count;
        stopControl_ = &control;
    }

    std::vector<Event> events;
    // The bytes of every photo, in order.
    std::vector<std::vector<std::uint8_t>> photos;
    // Group counts seen by each raw hand-over (the item is already counted).
    std::vector<std::uint64_t> countsAtHandOver;
    const FoundFileGroups* groups = nullptr;

private:
    void itemDone();

    const ScanControl& control_;
    std::size_t stopAfter_ = 0;
    ScanControl* stopControl_ = nullptr;
    std::size_t items_ = 0;
};

// The items only, as (name, first, end) triples, for compact expectations.
struct Item {
    std::string name;
    std::uint64_t first;
    std::uint64_t end;
    bool operator==(const Item&) const = default;
};
std::vector<Item> items(const std::vector<Event>& events);

std::ostream& operator<<(std::ostream& out, const Item& item);
std::ostream& operator<<(std::ostream& out, const Event& event);

// One engine run and what it reported.
struct ScanRun {
    ScanResult result;
    std::vector<Event> events;
    std::vector<std::vector<std::uint8_t>> photos;
    std::vector<std::uint64_t> countsAtHandOver;
    std::uint64_t forIndexAtEnd = 0;
    int stopNowAtEnd = 0;
};

struct ScanSetup {
    const signatures::SignatureList* general = nullptr;
    const signatures::SignatureList* thorough = nullptr;
    bool thoroughPass = true;
    std::optional<std::uint64_t> start;
    std::optional<std::uint64_t> end;
    std::size_t blockSectors = kDefaultBlockSectors;
    std::size_t stopAfterItems = 0; // 0: never
    BlockObserver* observer = nullptr;
};

enum class Engine { Real, Reference };

ScanRun runPhoto(SectorSource* source, const ScanSetup& setup, PhotoCounters& counters,
                 Engine engine = Engine::Real);
ScanRun runRaw(SectorSource* source, const ScanSetup& setup, FoundFileGroups& groups,
               Engine engine = Engine::Real);

// Runs `run` on `image` shifted by `k` sectors (the range shifted with it) and reports sectors
// as if unshifted, so every engine case also checks that results move with the data.
ScanRun scanShifted(const Image& image, ScanSetup setup, std::uint64_t k,
                    const std::function<ScanRun(SectorSource*, const ScanSetup&)>& run);

// A group per extension, counts 0, as a confirmed check list leaves them.
void makeGroups(FoundFileGroups& groups, std::initializer_list<const char*> extensions);

} // namespace quarry::carving::test_support
