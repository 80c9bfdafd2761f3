#pragma once

#include "carving/found_groups.h"
#include "carving/scan.h"
#include "carving_test_support.h"

#include <functional>
#include <optional>
#include <vector>

namespace quarry::carving::test_support {

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
