#pragma once

#include "carving/found_groups.h"
#include "carving/memory_source.h"
#include "carving/scan.h"
#include "signatures/definition_parser.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quarry::carving::test_support {

// Appends one signature record; the first-byte value defaults to the header's first byte.
void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position);
void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position, const std::string& firstByte);

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
    std::vector<std::string> labels;
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

} // namespace quarry::carving::test_support
