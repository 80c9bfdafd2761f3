#include "results/validated_saver.h"

#include "carving/sector_source.h"
#include "common/sector.h"

#include <algorithm>
#include <string>

namespace quarry::results {

FileEnd ValidatedSaver::measureOnMedium(std::string_view name, std::uint64_t start, std::uint64_t itemBytes) {
    if (source_ == nullptr || start >= source_->sectorCount())
        return {false, itemBytes};
    const std::uint64_t toMediumEnd = (source_->sectorCount() - start) * kSectorSize;
    return findFileEnd(*source_, start, itemBytes, std::string(itemExtension(name)),
                       std::min(toMediumEnd, std::max(itemBytes, kLongestValidatedFile)));
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
    if (inItem.validated) {
        item.validated = true;
        if (unreadableSectors > 0 && source_ != nullptr) {
            item.save = saver_.saveFromSource(name, *source_, firstSector, inItem.bytes);
            return item;
        }
        item.save = saver_.saveBytes(name, bytes.first(static_cast<std::size_t>(inItem.bytes)));
        item.save.unreadableSectors = unreadableSectors;
        return item;
    }
    const auto onMedium = measureOnMedium(name, firstSector, bytes.size());
    if (onMedium.validated) {
        item.validated = true;
        item.save = saver_.saveFromSource(name, *source_, firstSector, onMedium.bytes);
        return item;
    }
    item.save = saver_.saveBytes(name, bytes);
    item.save.unreadableSectors = unreadableSectors;
    return item;
}

SavedItem ValidatedSaver::saveSectors(std::string_view name, std::uint64_t start, std::uint64_t end) {
    SavedItem item;
    if (source_ == nullptr) {
        item.save.error = "the medium cannot be read";
        return item;
    }
    const std::uint64_t itemBytes = end > start ? (end - start) * kSectorSize : 0;
    std::uint64_t bytes = itemBytes;
    if (!saver_.destinationFull()) {
        const auto found = measureOnMedium(name, start, itemBytes);
        item.validated = found.validated;
        bytes = found.bytes;
    }
    item.save = saver_.saveFromSource(name, *source_, start, bytes);
    return item;
}

} // namespace quarry::results
