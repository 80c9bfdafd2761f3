#include "results/validators/formats.h"

#include <algorithm>
#include <vector>

namespace quarry::results::validators {
namespace {

constexpr std::uint16_t kStripOffsets = 273;
constexpr std::uint16_t kStripByteCounts = 279;
constexpr std::uint16_t kTileOffsets = 324;
constexpr std::uint16_t kTileByteCounts = 325;
constexpr std::uint16_t kSubIfds = 330;
constexpr std::uint16_t kJpegOffset = 513;
constexpr std::uint16_t kJpegBytes = 514;
constexpr std::uint16_t kExifIfd = 34665;
constexpr std::uint16_t kGpsIfd = 34853;
constexpr std::uint16_t kInteropIfd = 40965;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeIfd = 13;
constexpr std::size_t kMaxIfds = 256;
constexpr std::uint16_t kMaxEntriesPerIfd = 4096;
constexpr std::uint32_t kMaxArrayValues = 1U << 20;

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t valuesAt = 0; // where the values are: inside the entry or at its offset
};

std::uint64_t typeBytes(std::uint16_t type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0;
    }
}

// Walks every image file directory reachable from the header and records the furthest byte that the
// directories, their values and the image data they point to occupy.
class TiffWalk {
public:
    TiffWalk(ByteReader& in, bool bigEndian) : in_(in), big_(bigEndian) {}

    std::optional<std::uint64_t> run(std::uint32_t firstIfd) {
        pending_.push_back(firstIfd);
        while (!pending_.empty()) {
            const std::uint32_t ifd = pending_.back();
            pending_.pop_back();
            if (std::find(visited_.begin(), visited_.end(), ifd) != visited_.end()) {
                continue;
            }
            if (visited_.size() == kMaxIfds || !readIfd(ifd)) {
                return std::nullopt;
            }
            visited_.push_back(ifd);
        }
        return sawImageData_ ? std::optional(end_) : std::nullopt;
    }

private:
    bool readIfd(std::uint32_t ifd) {
        const auto count = in_.u16(ifd, big_);
        if (ifd < 8 || !count || *count == 0 || *count > kMaxEntriesPerIfd) {
            return false;
        }
        std::vector<Entry> entries;
        entries.reserve(*count);
        for (std::uint16_t i = 0; i < *count; ++i) {
            const std::uint64_t at = ifd + 2ULL + 12ULL * i;
            const auto tag = in_.u16(at, big_);
            const auto type = in_.u16(at + 2, big_);
            const auto values = in_.u32(at + 4, big_);
            const auto offset = in_.u32(at + 8, big_);
            if (!tag || !type || !values || !offset) {
                return false;
            }
            const std::uint64_t bytes = typeBytes(*type) * *values;
            Entry entry{*tag, *type, *values, bytes <= 4 ? at + 8 : *offset};
            if (bytes > 4) {
                end_ = std::max(end_, entry.valuesAt + bytes);
            }
            entries.push_back(entry);
        }
        const std::uint64_t nextAt = ifd + 2ULL + 12ULL * *count;
        const auto next = in_.u32(nextAt, big_);
        if (!next) {
            return false;
        }
        end_ = std::max(end_, nextAt + 4);
        if (*next != 0) {
            pending_.push_back(*next);
        }
        return followPointers(entries);
    }

    bool followPointers(const std::vector<Entry>& entries) {
        const auto find = [&](std::uint16_t tag) -> const Entry* {
            const auto it =
                std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.tag == tag; });
            return it == entries.end() ? nullptr : &*it;
        };
        for (const auto& [offsets, counts] :
             {std::pair{kStripOffsets, kStripByteCounts}, std::pair{kTileOffsets, kTileByteCounts},
              std::pair{kJpegOffset, kJpegBytes}}) {
            const Entry* where = find(offsets);
            const Entry* size = find(counts);
            if (where != nullptr && size != nullptr && !addExtents(*where, *size)) {
                return false;
            }
        }
        for (const std::uint16_t tag : {kSubIfds, kExifIfd, kGpsIfd, kInteropIfd}) {
            const Entry* pointer = find(tag);
            if (pointer == nullptr) {
                continue;
            }
            for (std::uint32_t i = 0; i < std::min(pointer->count, 64U); ++i) {
                const auto ifd = value(*pointer, i);
                if (!ifd) {
                    return false;
                }
                pending_.push_back(static_cast<std::uint32_t>(*ifd));
            }
        }
        return true;
    }

    bool addExtents(const Entry& offsets, const Entry& counts) {
        const std::uint32_t n = std::min(offsets.count, counts.count);
        if (n > kMaxArrayValues) {
            return false;
        }
        for (std::uint32_t i = 0; i < n; ++i) {
            const auto offset = value(offsets, i);
            const auto bytes = value(counts, i);
            if (!offset || !bytes) {
                return false;
            }
            if (*bytes != 0) {
                end_ = std::max(end_, *offset + *bytes);
                sawImageData_ = true;
            }
        }
        return true;
    }

    std::optional<std::uint64_t> value(const Entry& entry, std::uint32_t index) {
        if (entry.type == kTypeShort) {
            return in_.u16(entry.valuesAt + 2ULL * index, big_);
        }
        if (entry.type == kTypeLong || entry.type == kTypeIfd) {
            return in_.u32(entry.valuesAt + 4ULL * index, big_);
        }
        return std::nullopt;
    }

    ByteReader& in_;
    bool big_;
    std::uint64_t end_ = 0;
    bool sawImageData_ = false;
    std::vector<std::uint32_t> pending_;
    std::vector<std::uint32_t> visited_;
};

} // namespace

std::optional<std::uint64_t> tiffEnd(ByteReader& in, std::uint64_t) {
    const auto order = in.u16be(0);
    if (order != 0x4949 && order != 0x4D4D) {
        return std::nullopt;
    }
    const bool big = order == 0x4D4D;
    const auto magic = in.u16(2, big);
    // 42 for TIFF and most raw formats; Olympus and Panasonic raw files use their own numbers.
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55) {
        return std::nullopt;
    }
    const auto firstIfd = in.u32(4, big);
    if (!firstIfd) {
        return std::nullopt;
    }
    return TiffWalk(in, big).run(*firstIfd);
}

} // namespace quarry::results::validators
