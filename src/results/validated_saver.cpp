#include "results/validated_saver.h"

#include "carving/extent_source.h"
#include "carving/sector_source.h"
#include "common/sector.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace quarry::results {
namespace {

// Earlier extents looked at for one that holds a new item; files that overlap others are rare.
constexpr int kHoldersLookedAt = 16;

bool sameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

bool isJpeg(std::string_view name) {
    const auto extension = itemExtension(name);
    return sameText(extension, "JPG") || sameText(extension, "JPEG");
}

FileCheck checkOf(const FileEnd& end, std::string_view name) {
    if (end.validated)
        return FileCheck::Verified;
    return hasValidator(std::string(itemExtension(name))) ? FileCheck::Rejected : FileCheck::Unverified;
}

} // namespace

const char* fileCheckName(FileCheck check) {
    switch (check) {
    case FileCheck::Verified:
        return "verified";
    case FileCheck::Rejected:
        return "rejected";
    case FileCheck::Unverified:
        break;
    }
    return "unverified";
}

std::optional<SavedExtents::Earlier> SavedExtents::find(std::uint64_t firstSector, std::uint64_t bytes,
                                                        bool whole) const {
    const auto [from, to] = byStart_.equal_range(firstSector);
    for (auto it = from; it != to; ++it) {
        if (it->second.bytes == bytes)
            return Earlier{it->second.name, true};
    }
    const std::uint64_t end = firstSector * kSectorSize + (whole ? bytes : std::min<std::uint64_t>(bytes, 1));
    int looked = 0;
    for (auto it = byStart_.upper_bound(firstSector); it != byStart_.begin() && looked < kHoldersLookedAt;
         ++looked) {
        --it;
        if (it->second.verified && it->first * kSectorSize + it->second.bytes >= end)
            return Earlier{it->second.name, false};
    }
    return std::nullopt;
}

void SavedExtents::add(std::uint64_t firstSector, std::uint64_t bytes, bool verified, std::string name) {
    byStart_.emplace(firstSector, Extent{bytes, verified, std::move(name)});
}

std::string nameForType(std::string_view name, std::string_view type) {
    const auto extension = itemExtension(name);
    if (type.empty() || sameText(type, extension))
        return std::string(name);
    const auto stem = name.substr(0, name.size() - extension.size());
    return std::string(stem) + (extension.empty() ? "." : "") + std::string(type);
}

FileEnd ValidatedSaver::measureOnMedium(std::string_view name, std::uint64_t start, std::uint64_t itemBytes) {
    if (source_ == nullptr || start >= source_->sectorCount())
        return {false, itemBytes, {}};
    const std::uint64_t toMediumEnd = (source_->sectorCount() - start) * kSectorSize;
    return findFileEnd(*source_, start, itemBytes, std::string(itemExtension(name)),
                       std::min(toMediumEnd, std::max(itemBytes, kLongestValidatedFile)));
}

bool ValidatedSaver::prepare(SavedItem& item, std::string_view name, const FileEnd& end, std::uint64_t start,
                             std::uint64_t bytes) {
    item.check = checkOf(end, name);
    item.type =
        item.check == FileCheck::Verified && !end.type.empty() ? end.type : std::string(itemExtension(name));
    if (item.check == FileCheck::Rejected && !keepRejected_) {
        item.skipped = true;
        return false;
    }
    if (const auto earlier = saved_.find(start, bytes, item.check == FileCheck::Verified)) {
        (earlier->sameExtent ? item.duplicateOf : item.partOf) = earlier->name;
        item.skipped = true;
        return false;
    }
    return true;
}

void ValidatedSaver::remember(const SavedItem& item, std::string_view name, std::uint64_t start,
                              std::uint64_t bytes) {
    if (item.save.ok)
        saved_.add(start, bytes, item.check == FileCheck::Verified, std::string(name));
}

bool ValidatedSaver::saveJoined(SavedItem& item, std::string_view name, std::uint64_t start) {
    if (source_ == nullptr || !isJpeg(name))
        return false;
    // Found again (by the thorough pass, or a second record): its pieces are saved already.
    if (const auto earlier = saved_.find(start, kSectorSize, false)) {
        item.check = FileCheck::Rejected;
        item.type = std::string(itemExtension(name));
        item.partOf = earlier->name;
        item.skipped = true;
        return true;
    }
    const auto search =
        fragments::findSecondPiece(*source_, start, hints_ ? hints_(start) : fragments::FragmentHint{});
    item.fragmentCandidates = search.candidates;
    if (search.pieces.empty())
        return false;
    item.check = FileCheck::Verified;
    item.type = std::string(itemExtension(name));
    item.pieces = search.pieces.size();
    carving::ExtentSource joined(*source_, search.pieces);
    item.save = saver_.saveFromSource(name, joined, 0, search.bytes);
    // Each piece is a verified extent of its own: the files in the gap are not part of this one.
    std::uint64_t left = search.bytes;
    for (const auto& piece : search.pieces) {
        const std::uint64_t bytes = std::min(left, piece.count * kSectorSize);
        remember(item, name, piece.first, bytes);
        left -= bytes;
    }
    return true;
}

SavedItem ValidatedSaver::savePhoto(std::string_view name, std::span<const std::uint8_t> bytes,
                                    std::uint64_t firstSector, std::uint64_t unreadableSectors) {
    SavedItem item;
    // Once the destination is full nothing more is saved, so there is nothing to measure.
    if (saver_.destinationFull()) {
        item.save = saver_.saveBytes(name, bytes);
        return item;
    }
    const auto inItem = findFileEnd(bytes, std::string(itemExtension(name)));
    const auto end = inItem.validated ? inItem : measureOnMedium(name, firstSector, bytes.size());
    if (!end.validated && saveJoined(item, name, firstSector))
        return item;
    if (!prepare(item, name, end, firstSector, end.bytes))
        return item;
    // A damaged photo is copied again from the medium, so that the count of its unreadable
    // sectors is that of the extent saved.
    const bool fromMedium =
        source_ != nullptr && end.validated && (!inItem.validated || unreadableSectors > 0);
    if (item.check == FileCheck::Rejected) {
        item.save = saver_.saveBytes(name, bytes, kRejectedFolder);
        item.save.unreadableSectors = unreadableSectors;
    } else if (fromMedium) {
        item.save = saver_.saveFromSource(nameForType(name, item.type), *source_, firstSector, end.bytes);
    } else {
        item.save =
            saver_.saveBytes(nameForType(name, item.type), bytes.first(static_cast<std::size_t>(end.bytes)));
        item.save.unreadableSectors = unreadableSectors;
    }
    remember(item, name, firstSector, end.bytes);
    return item;
}

SavedItem ValidatedSaver::saveSectors(std::string_view name, std::uint64_t start, std::uint64_t end) {
    SavedItem item;
    if (source_ == nullptr) {
        item.save.error = "the medium cannot be read";
        return item;
    }
    const std::uint64_t itemBytes = end > start ? (end - start) * kSectorSize : 0;
    if (saver_.destinationFull()) {
        item.save = saver_.saveFromSource(name, *source_, start, itemBytes);
        return item;
    }
    const auto found = measureOnMedium(name, start, itemBytes);
    if (!found.validated && saveJoined(item, name, start))
        return item;
    if (!prepare(item, name, found, start, found.bytes))
        return item;
    if (item.check == FileCheck::Rejected)
        item.save = saver_.saveFromSource(name, *source_, start, found.bytes, kRejectedFolder);
    else
        item.save = saver_.saveFromSource(nameForType(name, item.type), *source_, start, found.bytes);
    remember(item, name, start, found.bytes);
    return item;
}

std::optional<std::vector<std::uint8_t>>
wholePhotoFromMedium(std::string_view name, std::span<const std::uint8_t> bytes, std::uint64_t firstSector,
                     carving::SectorSource& source, std::uint64_t maxBytes) {
    const std::string extension(itemExtension(name));
    if (firstSector >= source.sectorCount() || findFileEnd(bytes, extension).validated)
        return std::nullopt;
    const std::uint64_t toMediumEnd = (source.sectorCount() - firstSector) * kSectorSize;
    const auto end =
        findFileEnd(source, firstSector, bytes.size(), extension, std::min(toMediumEnd, maxBytes));
    if (!end.validated || end.bytes <= bytes.size())
        return std::nullopt;
    std::vector<std::uint8_t> whole((end.bytes + kSectorSize - 1) / kSectorSize * kSectorSize);
    if (!source.readSectors(firstSector, whole.size() / kSectorSize, whole.data()))
        return std::nullopt;
    whole.resize(static_cast<std::size_t>(end.bytes));
    return whole;
}

} // namespace quarry::results
