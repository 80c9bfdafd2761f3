#include "traces/trace_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <utility>

namespace quarry::traces {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kEntry = 32;
// However many traces a medium holds, no more are kept (each costs a few hundred bytes).
constexpr std::size_t kMostTraces = std::size_t{1} << 22;
constexpr std::uint64_t kMostResidentBytes = std::uint64_t{64} << 20;
// A folder path deeper than this is taken for a loop.
constexpr unsigned kDeepest = 64;
constexpr std::uint64_t kNtfsRoot = 5;
// Records below this number are the volume's own metadata files.
constexpr std::uint32_t kFirstUserRecord = 24;
// Most sectors per cluster a volume inferred from its folders may have (256 KiB clusters).
constexpr std::uint64_t kLargestCluster = 512;

std::uint64_t sectorsFor(std::uint64_t bytes) {
    return bytes / kSector + (bytes % kSector != 0 ? 1 : 0);
}

} // namespace

struct TraceScanner::Volume {
    VolumeLayout layout;
    std::uint64_t start = 0; // the volume's first sector
    std::uint64_t rootCluster = 0;
    std::uint64_t mftCluster = 0;

    // The first sector of cluster `c`; nothing when it lies at or past `limit`.
    std::optional<std::uint64_t> sectorOf(std::uint64_t c, std::uint64_t limit) const {
        if (limit <= layout.clusterBase || c >= (limit - layout.clusterBase) / layout.clusterSectors + 1) {
            return std::nullopt;
        }
        const std::uint64_t s = layout.clusterBase + c * layout.clusterSectors;
        return s < limit ? std::optional(s) : std::nullopt;
    }
    std::uint64_t clusterOf(std::uint64_t sector) const {
        return (sector - layout.clusterBase) / layout.clusterSectors;
    }
    bool holds(std::uint64_t sector) const { return sector >= start && sector >= layout.clusterBase; }
};

// The volume of `kind` that holds `sector`; where volumes nest (a partition inside an image of
// a whole disk), the one starting last.
std::optional<std::size_t> TraceScanner::innermostVolume(const std::vector<Volume>& volumes, TraceKind kind,
                                                         std::uint64_t sector) {
    std::optional<std::size_t> best;
    for (std::size_t k = 0; k < volumes.size(); ++k) {
        if (volumes[k].layout.kind == kind && volumes[k].holds(sector) &&
            (!best || volumes[k].start > volumes[*best].start)) {
            best = k;
        }
    }
    return best;
}

void TraceScanner::sectorsRead(std::uint64_t first, std::size_t count, const std::uint8_t* bytes) {
    if (first != next_ && previous_) {
        readEntrySets(window_.data(), kSector, previousIndex_);
        previous_ = false;
    }
    // exFAT entry sets may cross into the next sector: the block's last sector waits for it.
    if (previous_ && count > 0) {
        std::memcpy(window_.data() + kSector, bytes, kSector);
        readEntrySets(window_.data(), 2 * kSector, previousIndex_);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t index = first + i;
        sector(index, bytes + i * kSector, index != next_);
        next_ = index + 1;
        if (i + 1 < count) {
            readEntrySets(bytes + i * kSector, 2 * kSector, index);
        }
    }
    if (count > 0) {
        std::memcpy(window_.data(), bytes + (count - 1) * kSector, kSector);
        previous_ = true;
        previousIndex_ = first + count - 1;
    }
}

void TraceScanner::sector(std::uint64_t index, const std::uint8_t* bytes, bool gap) {
    if (gap) {
        recordSize_ = 0;
    }
    if (auto boot = readBootSector(bytes); boot && boots_.size() < kMostTraces) {
        boots_.push_back({index, *boot});
    }
    fatReader_.feed(index, bytes, gap);
    if (recordSize_ > 0) {
        record_.insert(record_.end(), bytes, bytes + kSector);
        if (record_.size() < recordSize_) {
            return;
        }
        recordSize_ = 0;
        auto record = readMftRecord(record_);
        if (record && records_.size() < kMostTraces) {
            if (residentBytes_ + record->resident.size() > kMostResidentBytes) {
                record->hasData = record->hasData && record->resident.empty();
                record->resident.clear();
            }
            residentBytes_ += record->resident.size();
            records_.push_back({recordSector_, std::move(*record)});
        }
        return;
    }
    if (const auto size = mftRecordSize(bytes)) {
        recordSize_ = *size;
        recordSector_ = index;
        record_.assign(bytes, bytes + kSector);
    }
}

void TraceScanner::readEntrySets(const std::uint8_t* window, std::size_t available,
                                 std::uint64_t firstIndex) {
    for (std::size_t at = 0; at < kSector; at += kEntry) {
        std::size_t length = 0;
        if ((window[at] | 0x80) != 0x85 || exFat_.size() >= kMostTraces) {
            continue;
        }
        if (auto entry = readExFatEntrySet(window + at, available - at, length)) {
            exFat_.push_back({firstIndex, std::move(*entry)});
        }
    }
}

std::vector<TraceScanner::Volume> TraceScanner::settleVolumes() const {
    const auto fatSupport = [&](const Volume& v) {
        return std::count_if(fatFolders_.begin(), fatFolders_.end(), [&](const FatFolder& f) {
            return v.layout.kind == TraceKind::Fat &&
                   v.layout.clusterBase + std::uint64_t{f.cluster} * v.layout.clusterSectors == f.sector;
        });
    };
    const auto support = [&](const Volume& v) -> std::ptrdiff_t {
        if (v.layout.kind == TraceKind::Fat) {
            return fatSupport(v);
        }
        if (v.layout.kind == TraceKind::Ntfs) {
            const std::uint64_t mft = v.layout.clusterBase + v.mftCluster * v.layout.clusterSectors;
            return std::any_of(records_.begin(), records_.end(),
                               [&](const auto& r) { return r.sector == mft; });
        }
        return 0;
    };
    std::vector<Volume> volumes;
    const auto addVolume = [&](const Volume& v) {
        const bool known = std::any_of(volumes.begin(), volumes.end(), [&](const Volume& w) {
            return w.layout.kind == v.layout.kind && w.layout.clusterBase == v.layout.clusterBase &&
                   w.layout.clusterSectors == v.layout.clusterSectors;
        });
        if (!known) {
            volumes.push_back(v);
        }
    };
    for (const auto& [at, boot] : boots_) {
        const auto volumeAt = [&](std::uint64_t start) {
            Volume v;
            v.layout = {boot.kind, boot.clusterSectors, start + boot.clusterBaseOffset, true};
            v.start = start;
            v.rootCluster = boot.rootCluster;
            v.mftCluster = boot.mftCluster;
            return v;
        };
        const Volume primary = volumeAt(at);
        if (boot.backupOffset == 0 || at < boot.backupOffset) {
            addVolume(primary);
            continue;
        }
        // A copy is told from the original by the original before it, else by what the traces
        // agree with.
        const Volume backup = volumeAt(at - boot.backupOffset);
        const bool original = std::any_of(boots_.begin(), boots_.end(), [&](const auto& b) {
            return b.sector == backup.start && b.trace.kind == boot.kind;
        });
        addVolume(original || support(backup) > support(primary) ? backup : primary);
    }

    // Folders that no boot sector accounts for: pairs of them give the cluster size and base.
    std::vector<const FatFolder*> loose;
    for (const auto& f : fatFolders_) {
        const bool placed = std::any_of(volumes.begin(), volumes.end(), [&](const Volume& v) {
            return v.layout.kind == TraceKind::Fat &&
                   v.layout.clusterBase + std::uint64_t{f.cluster} * v.layout.clusterSectors == f.sector;
        });
        if (!placed && f.cluster >= 2 && loose.size() < 1024) {
            loose.push_back(&f);
        }
    }
    while (loose.size() >= 2) {
        std::map<std::pair<std::uint64_t, std::uint64_t>, unsigned> votes;
        for (std::size_t i = 0; i < loose.size(); ++i) {
            for (std::size_t j = i + 1; j < loose.size(); ++j) {
                const auto* a = loose[i]->cluster < loose[j]->cluster ? loose[i] : loose[j];
                const auto* b = a == loose[i] ? loose[j] : loose[i];
                if (a->cluster == b->cluster || b->sector <= a->sector) {
                    continue;
                }
                const std::uint64_t clusters = b->cluster - a->cluster;
                const std::uint64_t sectors = b->sector - a->sector;
                const std::uint64_t size = sectors / clusters;
                if (sectors % clusters != 0 || !std::has_single_bit(size) || size > kLargestCluster ||
                    a->sector < a->cluster * size) {
                    continue;
                }
                ++votes[{size, a->sector - a->cluster * size}];
            }
        }
        const auto best = std::max_element(votes.begin(), votes.end(),
                                           [](const auto& x, const auto& y) { return x.second < y.second; });
        if (best == votes.end()) {
            break;
        }
        Volume v;
        v.layout = {TraceKind::Fat, best->first.first, best->first.second, false};
        v.start = v.layout.clusterBase;
        std::erase_if(loose, [&](const FatFolder* f) {
            return v.layout.clusterBase + std::uint64_t{f->cluster} * v.layout.clusterSectors == f->sector;
        });
        volumes.push_back(v);
    }

    // An NTFS volume whose boot sectors are both gone: $Boot's length in clusters gives the
    // cluster size (it is always 8 KiB), $MFT's own record where cluster 0 lies.
    for (const auto& boot : records_) {
        const MftRecord& r = boot.trace;
        if (r.number != 7u || r.name != "$Boot" || r.runs.size() != 1 || r.runs[0].lcn != 0 || r.bytes == 0 ||
            r.bytes % (r.runs[0].clusters * kSector) != 0) {
            continue;
        }
        const std::uint64_t size = r.bytes / (r.runs[0].clusters * kSector);
        for (const auto& mft : records_) {
            const MftRecord& m = mft.trace;
            if (m.number == 0u && m.name == "$MFT" && !m.runs.empty() && std::has_single_bit(size) &&
                mft.sector <= boot.sector && mft.sector >= m.runs[0].lcn * size) {
                Volume v;
                v.layout = {TraceKind::Ntfs, size, mft.sector - m.runs[0].lcn * size, false};
                v.start = v.layout.clusterBase;
                v.mftCluster = m.runs[0].lcn;
                addVolume(v);
                break;
            }
        }
    }
    return volumes;
}

void TraceScanner::finish(std::uint64_t mediumSectors) {
    if (previous_) {
        readEntrySets(window_.data(), kSector, previousIndex_);
        previous_ = false;
    }
    auto folders = fatReader_.take();
    std::move(folders.begin(), folders.end(), std::back_inserter(fatFolders_));
    const auto volumes = settleVolumes();
    volumes_.clear();
    for (const auto& v : volumes) {
        volumes_.push_back(v.layout);
    }
    addFat(volumes, mediumSectors);
    addExFat(volumes, mediumSectors);
    addNtfs(volumes, mediumSectors);
}

void TraceScanner::addFat(const std::vector<Volume>& volumes, std::uint64_t mediumSectors) {
    // Which volume each folder lies in, and each folder's name and parent by its cluster.
    struct Named {
        std::string name;
        std::uint32_t parent;
        bool deleted;
    };
    std::vector<std::optional<std::size_t>> volumeOf;
    std::map<std::pair<std::size_t, std::uint32_t>, Named> folderNames;
    for (const auto& f : fatFolders_) {
        std::optional<std::size_t> found;
        for (std::size_t k = 0; k < volumes.size() && !found; ++k) {
            const auto& layout = volumes[k].layout;
            if (layout.kind == TraceKind::Fat &&
                layout.clusterBase + std::uint64_t{f.cluster} * layout.clusterSectors == f.sector) {
                found = k;
            }
        }
        volumeOf.push_back(found);
        if (!found) {
            continue;
        }
        for (const auto& e : f.entries) {
            if (!e.folder) {
                continue;
            }
            auto [it, added] =
                folderNames.try_emplace({*found, e.firstCluster}, Named{e.name, f.cluster, e.deleted});
            if (!added && it->second.deleted && !e.deleted) {
                it->second = Named{e.name, f.cluster, e.deleted};
            }
        }
    }
    for (std::size_t k = 0; k < fatFolders_.size(); ++k) {
        if (!volumeOf[k]) {
            continue;
        }
        const Volume& volume = volumes[*volumeOf[k]];
        std::vector<std::string> path;
        std::uint32_t cluster = fatFolders_[k].cluster;
        for (unsigned depth = 0; depth < kDeepest && cluster >= 2 && cluster != volume.rootCluster; ++depth) {
            const auto it = folderNames.find({*volumeOf[k], cluster});
            if (it == folderNames.end()) {
                break;
            }
            path.insert(path.begin(), it->second.name);
            cluster = it->second.parent;
        }
        for (const auto& e : fatFolders_[k].entries) {
            const auto start = volume.sectorOf(e.firstCluster, mediumSectors);
            if (e.folder || e.bytes == 0 || e.firstCluster < 2 || !start) {
                continue;
            }
            TracedFile file;
            file.kind = TraceKind::Fat;
            file.name = e.name;
            file.path = path;
            file.bytes = e.bytes;
            file.mtime = e.mtime;
            file.deleted = e.deleted;
            file.extents = {{*start, sectorsFor(e.bytes)}};
            add(std::move(file), mediumSectors);
        }
    }
}

void TraceScanner::addExFat(const std::vector<Volume>& volumes, std::uint64_t mediumSectors) {
    const auto volumeOf = [&](std::uint64_t sector) {
        return innermostVolume(volumes, TraceKind::ExFat, sector);
    };
    // The folders of each volume by their first cluster, with the clusters they span.
    struct Folder {
        std::uint64_t clusters;
        std::size_t entry;
    };
    std::map<std::pair<std::size_t, std::uint64_t>, Folder> folders;
    for (std::size_t k = 0; k < exFat_.size(); ++k) {
        const auto& [sector, e] = exFat_[k];
        const auto v = volumeOf(sector);
        if (v && e.folder && e.firstCluster >= 2) {
            const std::uint64_t clusterBytes = volumes[*v].layout.clusterSectors * kSector;
            folders.try_emplace(
                {*v, e.firstCluster},
                Folder{std::max<std::uint64_t>(1, (e.bytes + clusterBytes - 1) / clusterBytes), k});
        }
    }
    // The folder whose clusters hold `sector`.
    const auto folderHolding = [&](std::size_t v, std::uint64_t sector) -> const Folder* {
        const std::uint64_t cluster = volumes[v].clusterOf(sector);
        auto it = folders.upper_bound({v, cluster});
        if (it == folders.begin()) {
            return nullptr;
        }
        --it;
        return it->first.first == v && cluster < it->first.second + it->second.clusters ? &it->second
                                                                                        : nullptr;
    };
    for (const auto& [sector, e] : exFat_) {
        const auto v = volumeOf(sector);
        if (!v || e.folder || e.bytes == 0 || e.firstCluster < 2) {
            continue;
        }
        const auto start = volumes[*v].sectorOf(e.firstCluster, mediumSectors);
        if (!start) {
            continue;
        }
        TracedFile file;
        file.kind = TraceKind::ExFat;
        file.name = e.name;
        std::uint64_t at = sector;
        for (unsigned depth = 0; depth < kDeepest; ++depth) {
            const Folder* folder = folderHolding(*v, at);
            if (folder == nullptr) {
                break;
            }
            file.path.insert(file.path.begin(), exFat_[folder->entry].trace.name);
            at = exFat_[folder->entry].sector;
        }
        file.bytes = e.bytes;
        file.mtime = e.mtime;
        file.deleted = e.deleted;
        file.extents = {{*start, sectorsFor(e.bytes)}};
        add(std::move(file), mediumSectors);
    }
}

void TraceScanner::addNtfs(const std::vector<Volume>& volumes, std::uint64_t mediumSectors) {
    const auto volumeOf = [&](std::uint64_t sector) {
        return innermostVolume(volumes, TraceKind::Ntfs, sector);
    };
    // Each volume's records by number, the live one where a number was met twice.
    std::map<std::pair<std::size_t, std::uint64_t>, const MftRecord*> byNumber;
    for (const auto& [sector, r] : records_) {
        const auto v = volumeOf(sector);
        if (!v || !r.number) {
            continue;
        }
        auto [it, added] = byNumber.try_emplace({*v, *r.number}, &r);
        if (!added && (it->second->deleted || !r.deleted)) {
            it->second = &r;
        }
    }
    for (const auto& [sector, r] : records_) {
        const auto v = volumeOf(sector);
        if (!v || r.folder || !r.hasData || r.bytes == 0 || (r.number && *r.number < kFirstUserRecord)) {
            continue;
        }
        const Volume& volume = volumes[*v];
        TracedFile file;
        file.kind = TraceKind::Ntfs;
        file.name = r.name;
        std::uint64_t parent = r.parent;
        for (unsigned depth = 0; depth < kDeepest && parent != kNtfsRoot; ++depth) {
            const auto it = byNumber.find({*v, parent});
            if (it == byNumber.end()) {
                break;
            }
            file.path.insert(file.path.begin(), it->second->name);
            parent = it->second->parent;
        }
        if (!file.path.empty() && file.path.front() == "$Extend") {
            continue;
        }
        file.bytes = r.bytes;
        file.mtime = r.mtime;
        file.deleted = r.deleted;
        file.residentData = r.resident;
        file.fromRunList = !r.runs.empty();
        std::uint64_t wanted = sectorsFor(r.bytes);
        for (const NtfsRun& run : r.runs) {
            const auto start = volume.sectorOf(run.lcn, mediumSectors);
            if (!start || wanted == 0) {
                break; // a piece past the medium: the rest of the file cannot follow it
            }
            const std::uint64_t clusters =
                std::min(run.clusters, mediumSectors / volume.layout.clusterSectors + 1);
            const std::uint64_t count = std::min(wanted, clusters * volume.layout.clusterSectors);
            file.extents.push_back({*start, count});
            wanted -= count;
        }
        if (!r.runs.empty() && file.extents.empty()) {
            continue;
        }
        add(std::move(file), mediumSectors);
    }
}

void TraceScanner::add(TracedFile file, std::uint64_t mediumSectors) {
    // Clipped to the medium, and no longer than the sectors it lies in.
    std::uint64_t sectors = 0;
    std::erase_if(file.extents, [&](const carving::SectorExtent& e) { return e.first >= mediumSectors; });
    for (auto& e : file.extents) {
        e.count = std::min(e.count, mediumSectors - e.first);
        sectors += e.count;
    }
    if (file.residentData.empty()) {
        if (file.extents.empty()) {
            return;
        }
        file.bytes = std::min(file.bytes, sectors * kSector);
    } else {
        file.bytes = file.residentData.size();
    }
    files_.push_back(std::move(file));
    const TracedFile& added = files_.back();
    if (added.extents.empty()) {
        return;
    }
    auto [it, fresh] = byStart_.try_emplace(added.firstSector(), files_.size() - 1);
    if (!fresh && (files_[it->second].deleted || !added.deleted)) {
        it->second = files_.size() - 1;
    }
}

const TracedFile* TraceScanner::fileStartingAt(std::uint64_t sector) const {
    const auto it = byStart_.find(sector);
    return it == byStart_.end() ? nullptr : &files_[it->second];
}

} // namespace quarry::traces
