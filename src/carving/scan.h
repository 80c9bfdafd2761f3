#pragma once

#include "carving/sector_source.h"
#include "signatures/definition_parser.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quarry::carving {

class BlockObserver;
class FoundFileGroups;

enum class PassKind { General, Thorough };
enum class ScanStatus { Complete, Stopped, OpenFailure };

inline constexpr const char* kGeneralModeLabel =
    "( Currently performing Search based on: Quarry General Recovery Procedure )";
inline constexpr const char* kThoroughModeLabel =
    "( Currently performing Search based on: Quarry Thorough Scanning Alogrithm )";

// State shared between the scan's worker, the progress display and the Stop button.
struct ScanControl {
    std::atomic<std::uint64_t> start_sector{0};
    std::atomic<std::uint64_t> end_sector{0};
    std::atomic<std::uint64_t> total_sector{0};
    std::atomic<std::uint64_t> for_index{0}; // next sector to read
    std::atomic<int> stop_now{0};            // 1 asks the running scan to stop
};

// Photo counters that run for the whole process; a second scan continues them.
struct PhotoCounters {
    std::atomic<std::uint64_t> GND_Image_number{0};
    std::atomic<std::uint64_t> THD_Image_number{0};
};

// A found photo's bytes, copied once out of the engine's buffer and shared read-only by every
// consumer that keeps them past the hand-over (the saving queue, the thumbnail makers).
using ItemBytes = std::shared_ptr<const std::vector<std::uint8_t>>;
// Found photos' bytes one consumer holds at once, at most; past this it waits or goes without.
inline constexpr std::size_t kMaxHeldItemBytes = 64u << 20;

// Receives what a scan finds, on the scan's thread.
class ScanSink {
public:
    virtual ~ScanSink() = default;
    // A pass begins; `modeLabel` is kGeneralModeLabel or kThoroughModeLabel.
    virtual void passStarted(PassKind /*pass*/, const char* /*modeLabel*/) {}
    // Whether photoItem needs the photo's bytes; without them, collecting each photo in memory
    // is left out of the scan.
    virtual bool wantsPhotoBytes() const { return true; }
    // A photo of at least one sector: its bytes (empty unless wantsPhotoBytes), name,
    // identifier, the header's sector, one past the last sector put in the item, and how many
    // of its sectors could not be read (they are zeros in `bytes`).
    virtual void photoItem(PassKind /*pass*/, std::span<const std::uint8_t> /*bytes*/,
                           const std::string& /*name*/, const std::string& /*uid*/,
                           std::uint64_t /*firstSector*/, std::uint64_t /*endSector*/,
                           std::uint64_t /*unreadableSectors*/) {}
    // The same photo with its bytes copied once already (never null), for sinks that keep them;
    // by default handed to photoItem.
    virtual void sharedPhotoItem(PassKind pass, const ItemBytes& bytes, const std::string& name,
                                 const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                                 std::uint64_t unreadableSectors) {
        photoItem(pass, *bytes, name, uid, firstSector, endSector, unreadableSectors);
    }
    // A carved file whose trimmed name is not blank. `name` is trimmed, `uid` is the name as
    // handed over; it has already been counted in its group. `unreadableSectors` of its range
    // could not be read during the scan.
    virtual void rawItem(PassKind /*pass*/, const std::string& /*name*/, const std::string& /*uid*/,
                         std::uint64_t /*startSector*/, std::uint64_t /*endSector*/,
                         std::uint64_t /*unreadableSectors*/) {}
};

struct ScanResult {
    ScanStatus status = ScanStatus::Complete;
    std::uint64_t sectorsScanned = 0; // sectors read over all passes
    std::uint64_t badSectors = 0;     // failed sector reads
};

// Sectors read from the source at once (1 MiB); a bad sector still costs only itself.
inline constexpr std::size_t kDefaultBlockSectors = 2048;

// What a scan reads: the photo engine's lists are Ext_Array and Adv_Ext_Array, the raw file
// engine's CheckListHeader_Array and CheckListHeader_Adv_Array.
struct ScanRequest {
    SectorSource* source = nullptr; // null: the medium could not be opened
    std::uint64_t start_sector = 0;
    std::uint64_t end_sector = 0; // exclusive
    const signatures::SignatureList* general = nullptr;
    const signatures::SignatureList* thorough = nullptr;
    bool thoroughPass = true;
    std::size_t blockSectors = kDefaultBlockSectors;
    BlockObserver* observer = nullptr; // shown the sectors of the general pass
};

// The photo engine: general pass, then the thorough pass when asked. Returns when both
// passes are done, on a stop request (stop_now is set back to 0) or when the source is null.
ScanResult runPhotoScan(const ScanRequest& request, ScanControl& control, PhotoCounters& counters,
                        ScanSink& sink);

// The raw file engine for video and raw-file scans; items are named and counted in `groups`.
ScanResult runRawScan(const ScanRequest& request, ScanControl& control, FoundFileGroups& groups,
                      ScanSink& sink);

} // namespace quarry::carving
