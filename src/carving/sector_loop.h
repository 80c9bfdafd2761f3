#pragma once

#include "carving/block_reader.h"
#include "carving/scan.h"
#include "carving/signature_matcher.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace quarry::carving {

enum class PassEnd { Complete, Stopped };

// All 512 bytes zero: such a sector is never tested for headers.
inline bool isBlankSector(const std::uint8_t* sector) {
    static constexpr std::array<std::uint8_t, kSectorSize> kZeros{};
    std::uint64_t head = 0;
    std::memcpy(&head, sector, sizeof head);
    return head == 0 && std::memcmp(sector, kZeros.data(), kSectorSize) == 0;
}

// The read loop of one pass over [first, end): polls the stop request before each sector,
// publishes the index of the next sector to read, and hands each sector to `onSector`
// (index, bytes, blank, failed). A failed read yields zeros; a source that cannot be put back after
// a failed read ends the pass as if it were complete.
template <class OnSector>
PassEnd runSectorLoop(BlockReader& reader, ScanControl& control, std::uint64_t first, std::uint64_t end,
                      ScanResult& result, OnSector&& onSector) {
    reader.restart(end);
    std::uint64_t forIndex = first;
    control.for_index.store(forIndex, std::memory_order_relaxed);
    while (forIndex < end) {
        if (control.stop_now.load(std::memory_order_relaxed) == 1) {
            return PassEnd::Stopped;
        }
        auto outcome = BlockReader::Outcome::Read;
        const std::uint8_t* sector = reader.sector(forIndex, outcome);
        if (outcome != BlockReader::Outcome::Read) {
            ++result.badSectors;
            if (outcome == BlockReader::Outcome::Lost) {
                return PassEnd::Complete;
            }
        }
        ++forIndex;
        control.for_index.store(forIndex, std::memory_order_relaxed);
        ++result.sectorsScanned;
        const bool failed = outcome == BlockReader::Outcome::Failed;
        onSector(forIndex - 1, sector, failed || isBlankSector(sector), failed);
    }
    return PassEnd::Complete;
}

// One carver's pass over [first, end): every sector that is not blank is tested against the
// matcher and `onHeader(index, record)` runs for a match; then `afterSector(index, bytes, failed)`
// runs for every sector. A matcher without records reads nothing. A stop request is cleared here.
template <class OnHeader, class AfterSector>
PassEnd runMatchingPass(const SignatureMatcher& matcher, BlockReader& reader, ScanControl& control,
                        std::uint64_t first, std::uint64_t end, ScanResult& result, OnHeader&& onHeader,
                        AfterSector&& afterSector) {
    if (matcher.size() == 0) {
        control.for_index.store(first, std::memory_order_relaxed);
        return PassEnd::Complete;
    }
    reader.prefetchLines(matcher.probedLines());
    const PassEnd passEnd =
        runSectorLoop(reader, control, first, end, result,
                      [&](std::uint64_t s, const std::uint8_t* sector, bool blank, bool failed) {
                          if (!blank) {
                              const std::size_t r = matcher.find(sector);
                              if (r != SignatureMatcher::npos) {
                                  onHeader(s, r);
                              }
                          }
                          afterSector(s, sector, failed);
                      });
    if (passEnd == PassEnd::Stopped) {
        control.stop_now.store(0);
    }
    return passEnd;
}

// One scan: the general pass, then the thorough pass over the same range when the request asks
// for it; a stop ends the scan. `idleIndex` is what for_index shows before a pass has started.
// `makeCarver()` gives the engine's carver, which runs each pass and keeps what the two
// passes share.
template <class Request, class MakeCarver>
ScanResult runScanPasses(const Request& request, ScanControl& control, ScanSink& sink,
                         std::uint64_t idleIndex, MakeCarver&& makeCarver) {
    control.start_sector.store(request.start_sector);
    control.end_sector.store(request.end_sector);
    control.total_sector.store(request.end_sector - request.start_sector);
    control.for_index.store(idleIndex);

    ScanResult result;
    if (request.source == nullptr) {
        control.stop_now.store(0);
        result.status = ScanStatus::OpenFailure;
        return result;
    }

    BlockReader reader(*request.source, request.blockSectors);
    auto carver = makeCarver();
    static const signatures::SignatureList kNoSignatures;
    for (const PassKind pass : {PassKind::General, PassKind::Thorough}) {
        const bool general = pass == PassKind::General;
        if (!general && !request.thoroughPass)
            break;
        sink.passStarted(pass, general ? kGeneralModeLabel : kThoroughModeLabel);
        if (!general) {
            carver.beginThoroughPass();
            control.for_index.store(idleIndex);
        }
        const signatures::SignatureList* list = general ? request.general : request.thorough;
        const SignatureMatcher matcher(list != nullptr ? *list : kNoSignatures);
        // The thorough pass reads the same sectors again; they have been seen.
        reader.observe(general ? request.observer : nullptr);
        if (carver.runPass(pass, matcher, reader, control, request.start_sector, request.end_sector,
                           result) == PassEnd::Stopped) {
            result.status = ScanStatus::Stopped;
            break;
        }
    }
    return result;
}

} // namespace quarry::carving
