#include "carving_test_support.h"

#include "reference_engines.h"

#include <cstring>
#include <ostream>

namespace quarry::carving::test_support {

void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position, std::optional<std::string> firstByte) {
    if (!firstByte) {
        firstByte = header.size() >= 2 ? std::to_string(signatures::hex2int(header.substr(0, 2))) : "";
    }
    list.insert(list.end(), {extension, maxSize, header, position, "", "description", *firstByte});
}

void Image::put(std::uint64_t sector, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    std::memcpy(bytes_.data() + sector * kSectorSize + offset, bytes.data(), bytes.size());
}

void Image::fill(std::uint64_t sector, std::uint8_t value) {
    std::memset(bytes_.data() + sector * kSectorSize, value, kSectorSize);
}

void Image::randomize(std::mt19937_64& random, std::uint64_t first, std::uint64_t end) {
    for (std::size_t i = first * kSectorSize; i < end * kSectorSize; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes_.data() + i, &word, 8);
    }
}

Image Image::shifted(std::uint64_t k) const {
    Image out(sectors() + k);
    std::memcpy(out.bytes_.data() + k * kSectorSize, bytes_.data(), bytes_.size());
    return out;
}

std::vector<std::uint8_t> hexBytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

void RecordingSink::passStarted(PassKind pass, const char*) {
    events.push_back({"pass", pass, "", "", 0, 0, 0, 0, control_.for_index.load()});
}

void RecordingSink::photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                              const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                              std::uint64_t unreadableSectors) {
    std::uint64_t checksum = 1469598103934665603ULL;
    for (const std::uint8_t b : bytes) {
        checksum = (checksum ^ b) * 1099511628211ULL;
    }
    events.push_back({"photo", pass, name, uid, firstSector, endSector, bytes.size(), checksum,
                      control_.for_index.load(), unreadableSectors});
    photos.emplace_back(bytes.begin(), bytes.end());
    itemDone();
}

void RecordingSink::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                            std::uint64_t startSector, std::uint64_t endSector,
                            std::uint64_t unreadableSectors) {
    events.push_back(
        {"raw", pass, name, uid, startSector, endSector, 0, 0, control_.for_index.load(), unreadableSectors});
    if (groups != nullptr) {
        const auto dot = name.rfind('.');
        countsAtHandOver.push_back(groups->countFor(name.substr(dot + 1)).value_or(0));
    }
    itemDone();
}

void RecordingSink::itemDone() {
    ++items_;
    if (stopControl_ != nullptr && items_ == stopAfter_) {
        stopControl_->stop_now.store(1);
    }
}

std::vector<Item> items(const std::vector<Event>& events) {
    std::vector<Item> out;
    for (const Event& e : events) {
        if (e.kind != "pass") {
            out.push_back({e.name, e.first, e.end});
        }
    }
    return out;
}

std::ostream& operator<<(std::ostream& out, const Item& item) {
    return out << item.name << " [" << item.first << ", " << item.end << ")";
}

std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << e.kind << (e.pass == PassKind::General ? " general " : " thorough ") << e.name
               << " uid=" << e.uid << " [" << e.first << ", " << e.end << ") bytes=" << e.bytes
               << " sum=" << e.checksum << " for_index=" << e.forIndex << " unreadable=" << e.unreadable;
}

namespace {

ScanRequest requestFor(SectorSource* source, const ScanSetup& setup) {
    ScanRequest request;
    request.source = source;
    const std::uint64_t sectors = source != nullptr ? source->sectorCount() : 0;
    request.start_sector = setup.start.value_or(0);
    request.end_sector = setup.end.value_or(sectors);
    request.general = setup.general;
    request.thorough = setup.thorough;
    request.thoroughPass = setup.thoroughPass;
    request.blockSectors = setup.blockSectors;
    request.observer = setup.observer;
    return request;
}

// Runs one engine with a recording sink; `groups` are what a raw scan counts into.
template <typename Run>
ScanRun record(SectorSource* source, const ScanSetup& setup, const FoundFileGroups* groups, Run run) {
    ScanControl control;
    RecordingSink sink(control);
    sink.groups = groups;
    if (setup.stopAfterItems > 0) {
        sink.stopAfterItems(setup.stopAfterItems, control);
    }
    const ScanResult result = run(requestFor(source, setup), control, sink);
    return {result,
            std::move(sink.events),
            std::move(sink.photos),
            std::move(sink.countsAtHandOver),
            control.for_index.load(),
            control.stop_now.load()};
}

} // namespace

ScanRun runPhoto(SectorSource* source, const ScanSetup& setup, PhotoCounters& counters, Engine engine) {
    return record(source, setup, nullptr,
                  [&](const ScanRequest& request, ScanControl& control, ScanSink& sink) {
                      return engine == Engine::Real ? runPhotoScan(request, control, counters, sink)
                                                    : referencePhotoScan(request, control, counters, sink);
                  });
}

ScanRun runRaw(SectorSource* source, const ScanSetup& setup, FoundFileGroups& groups, Engine engine) {
    return record(source, setup, &groups,
                  [&](const ScanRequest& request, ScanControl& control, ScanSink& sink) {
                      return engine == Engine::Real ? runRawScan(request, control, groups, sink)
                                                    : referenceRawScan(request, control, groups, sink);
                  });
}

void makeGroups(FoundFileGroups& groups, std::initializer_list<const char*> extensions) {
    groups.clear();
    for (const char* extension : extensions) {
        groups.createSignatureListTableRecord(extension, 0, "", "", extension);
    }
}

ScanRun scanShifted(const Image& image, ScanSetup setup, std::uint64_t k,
                    const std::function<ScanRun(SectorSource*, const ScanSetup&)>& run) {
    const Image shifted = image.shifted(k);
    MemorySource source = shifted.source();
    setup.start = setup.start.value_or(0) + k;
    setup.end = setup.end.value_or(image.sectors()) + k;
    ScanRun result = run(&source, setup);
    for (Event& e : result.events) {
        if (e.kind == "photo" || e.kind == "raw") {
            e.first -= k;
            e.end -= k;
        }
        e.forIndex -= k;
    }
    result.forIndexAtEnd -= k;
    return result;
}

} // namespace quarry::carving::test_support
