#include "results/validators/byte_reader.h"

#include "carving/sector_source.h"
#include "common/sector.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quarry::results::validators {
namespace {

constexpr std::size_t kBlockSectors = 32;
constexpr std::size_t kBlockBytes = kBlockSectors * kSectorSize;
constexpr std::size_t kCachedBlocks = 32;

template <typename T, bool BigEndian> std::optional<T> load(ByteReader& in, std::uint64_t offset) {
    std::uint8_t raw[sizeof(T)];
    if (!in.read(offset, raw)) {
        return std::nullopt;
    }
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        const std::size_t at = BigEndian ? i : sizeof(T) - 1 - i;
        value = static_cast<T>((value << 8) | raw[at]);
    }
    return value;
}

} // namespace

bool ByteReader::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > size() || out.size() > size() - offset) {
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const auto piece = view(offset + done, out.size() - done);
        if (piece.empty()) {
            return false;
        }
        std::memcpy(out.data() + done, piece.data(), piece.size());
        done += piece.size();
    }
    return true;
}

std::optional<std::uint8_t> ByteReader::u8(std::uint64_t offset) {
    const auto piece = view(offset, 1);
    if (piece.empty()) {
        return std::nullopt;
    }
    return piece[0];
}

std::optional<std::uint16_t> ByteReader::u16le(std::uint64_t offset) {
    return load<std::uint16_t, false>(*this, offset);
}
std::optional<std::uint16_t> ByteReader::u16be(std::uint64_t offset) {
    return load<std::uint16_t, true>(*this, offset);
}
std::optional<std::uint32_t> ByteReader::u32le(std::uint64_t offset) {
    return load<std::uint32_t, false>(*this, offset);
}
std::optional<std::uint32_t> ByteReader::u32be(std::uint64_t offset) {
    return load<std::uint32_t, true>(*this, offset);
}
std::optional<std::uint64_t> ByteReader::u64le(std::uint64_t offset) {
    return load<std::uint64_t, false>(*this, offset);
}
std::optional<std::uint64_t> ByteReader::u64be(std::uint64_t offset) {
    return load<std::uint64_t, true>(*this, offset);
}

std::optional<std::uint16_t> ByteReader::u16(std::uint64_t offset, bool bigEndian) {
    return bigEndian ? u16be(offset) : u16le(offset);
}

std::optional<std::uint32_t> ByteReader::u32(std::uint64_t offset, bool bigEndian) {
    return bigEndian ? u32be(offset) : u32le(offset);
}

bool ByteReader::matches(std::uint64_t offset, std::span<const std::uint8_t> expected) {
    std::uint8_t buffer[64];
    std::size_t done = 0;
    while (done < expected.size()) {
        const std::size_t n = std::min(sizeof buffer, expected.size() - done);
        if (!read(offset + done, std::span(buffer, n)) ||
            std::memcmp(buffer, expected.data() + done, n) != 0) {
            return false;
        }
        done += n;
    }
    return true;
}

std::optional<std::uint64_t> ByteReader::find(std::uint64_t from, std::uint64_t to,
                                              std::span<const std::uint8_t> pattern) {
    to = std::min(to, size());
    if (pattern.empty() || from >= to || pattern.size() > to - from) {
        return std::nullopt;
    }
    const std::uint64_t lastStart = to - pattern.size();
    std::uint64_t pos = from;
    while (pos <= lastStart) {
        const auto piece =
            view(pos, static_cast<std::size_t>(std::min<std::uint64_t>(lastStart - pos + 1, kBlockBytes)));
        if (piece.empty()) {
            return std::nullopt;
        }
        const void* hit = std::memchr(piece.data(), pattern[0], piece.size());
        if (hit == nullptr) {
            pos += piece.size();
            continue;
        }
        const std::uint64_t candidate =
            pos + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - piece.data());
        if (matches(candidate, pattern)) {
            return candidate;
        }
        pos = candidate + 1;
    }
    return std::nullopt;
}

std::uint64_t ZeroRun::add(std::span<const std::uint8_t> bytes) {
    const auto lastNonZero =
        std::find_if(bytes.rbegin(), bytes.rend(), [](std::uint8_t b) { return b != 0; });
    const auto zeros = static_cast<std::uint64_t>(lastNonZero - bytes.rbegin());
    run_ = lastNonZero == bytes.rend() ? run_ + zeros : zeros;
    return run_;
}

std::span<const std::uint8_t> MemoryByteReader::view(std::uint64_t offset, std::size_t maxBytes) {
    if (offset >= bytes_.size()) {
        return {};
    }
    const std::size_t at = static_cast<std::size_t>(offset);
    return bytes_.subspan(at, std::min(maxBytes, bytes_.size() - at));
}

SectorByteReader::SectorByteReader(carving::SectorSource& source, std::uint64_t startSector,
                                   std::uint64_t limitBytes, std::uint64_t readBudget)
    : source_(source), startSector_(startSector), size_(0), budget_(readBudget) {
    const std::uint64_t sectors = source.sectorCount();
    if (startSector < sectors) {
        const std::uint64_t available = sectors - startSector;
        size_ = available > std::numeric_limits<std::uint64_t>::max() / kSectorSize
                    ? limitBytes
                    : std::min(limitBytes, available * kSectorSize);
    }
}

SectorByteReader::Block* SectorByteReader::block(std::uint64_t index) {
    ++clock_;
    for (auto& cached : cache_) {
        if (cached.index == index && !cached.bytes.empty()) {
            cached.lastUse = clock_;
            return &cached;
        }
    }
    const std::uint64_t first = index * kBlockBytes;
    const std::uint64_t wanted = std::min<std::uint64_t>(kBlockBytes, size_ - first);
    const std::size_t sectors = static_cast<std::size_t>((wanted + kSectorSize - 1) / kSectorSize);
    const std::uint64_t cost = sectors * kSectorSize;
    if (cost > budget_) {
        return nullptr;
    }
    budget_ -= cost;

    Block* slot = nullptr;
    if (cache_.size() < kCachedBlocks) {
        slot = &cache_.emplace_back();
    } else {
        slot = &*std::min_element(cache_.begin(), cache_.end(),
                                  [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; });
    }
    slot->bytes.resize(sectors * kSectorSize);
    // Unreadable sectors are zeros, as in the saved file, so a structure that lies across one
    // can still be followed to its end.
    carving::readSectorsOrZeros(source_, startSector_ + index * kBlockSectors, sectors, slot->bytes.data());
    slot->bytes.resize(static_cast<std::size_t>(wanted));
    slot->index = index;
    slot->lastUse = clock_;
    return slot;
}

std::span<const std::uint8_t> SectorByteReader::view(std::uint64_t offset, std::size_t maxBytes) {
    if (offset >= size_ || maxBytes == 0) {
        return {};
    }
    const Block* found = block(offset / kBlockBytes);
    if (found == nullptr) {
        return {};
    }
    const std::size_t at = static_cast<std::size_t>(offset % kBlockBytes);
    if (at >= found->bytes.size()) {
        return {};
    }
    return std::span<const std::uint8_t>(found->bytes)
        .subspan(at, std::min(maxBytes, found->bytes.size() - at));
}

} // namespace quarry::results::validators
