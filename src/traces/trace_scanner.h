#pragma once

#include "carving/block_reader.h"
#include "traces/boot_sectors.h"
#include "traces/exfat_entries.h"
#include "traces/fat_directory.h"
#include "traces/ntfs_record.h"
#include "traces/traced_file.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace quarry::traces {

// Watches the sectors of a scan for file-system traces (boot sectors, FAT subfolders, exFAT
// entry sets, MFT records) and, once the scan is over, tells where each traced file lies.
// It sees the sectors the scan reads anyway, so the medium is read once.
class TraceScanner final : public carving::BlockObserver, public TraceCatalog {
public:
    void sectorsRead(std::uint64_t first, std::size_t count, const std::uint8_t* bytes) override;

    // After the scan: settles each volume's layout and where every traced file lies on a medium
    // of `mediumSectors` sectors.
    void finish(std::uint64_t mediumSectors);

    const TracedFile* fileStartingAt(std::uint64_t sector) const override;
    const std::vector<TracedFile>& files() const override { return files_; }
    const std::vector<VolumeLayout>& volumes() const override { return volumes_; }

private:
    template <class T> struct Found {
        std::uint64_t sector;
        T trace;
    };
    struct Volume; // a volume whose layout is known, while the traces are settled
    static std::optional<std::size_t> innermostVolume(const std::vector<Volume>& volumes, TraceKind kind,
                                                      std::uint64_t sector);

    void sector(std::uint64_t index, const std::uint8_t* bytes, bool gap);
    void readEntrySets(const std::uint8_t* window, std::size_t available, std::uint64_t firstIndex);

    std::vector<Volume> settleVolumes() const;
    void addFat(const std::vector<Volume>& volumes, std::uint64_t mediumSectors);
    void addExFat(const std::vector<Volume>& volumes, std::uint64_t mediumSectors);
    void addNtfs(const std::vector<Volume>& volumes, std::uint64_t mediumSectors);
    void add(TracedFile file, std::uint64_t mediumSectors);

    std::uint64_t next_ = ~std::uint64_t{0};
    std::vector<Found<BootSector>> boots_;
    FatFolderReader fatReader_;
    std::vector<FatFolder> fatFolders_;
    std::vector<Found<ExFatEntry>> exFat_;
    std::vector<Found<MftRecord>> records_;
    std::uint64_t residentBytes_ = 0;
    // The sector before the current one, for exFAT entry sets that cross into the next sector.
    std::array<std::uint8_t, 1024> window_{};
    bool previous_ = false;
    std::uint64_t previousIndex_ = 0;
    // An MFT record being gathered over its sectors.
    std::vector<std::uint8_t> record_;
    std::size_t recordSize_ = 0;
    std::uint64_t recordSector_ = 0;

    std::vector<TracedFile> files_;
    std::vector<VolumeLayout> volumes_;
    std::map<std::uint64_t, std::size_t> byStart_;
};

} // namespace quarry::traces
