#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results::validators {

// Random access to the bytes of one candidate file, from its first byte up to size(). Every access
// past size() fails instead of reading, so a validator cannot leave its source.
class ByteReader {
public:
    virtual ~ByteReader() = default;

    virtual std::uint64_t size() const = 0;

    // Contiguous bytes from `offset`, at most `maxBytes` and at least one, or empty when `offset` is
    // at or past the end or the bytes cannot be read. Valid until the next call on this reader.
    virtual std::span<const std::uint8_t> view(std::uint64_t offset, std::size_t maxBytes) = 0;

    // Exactly out.size() bytes, or false.
    bool read(std::uint64_t offset, std::span<std::uint8_t> out);

    std::optional<std::uint8_t> u8(std::uint64_t offset);
    std::optional<std::uint16_t> u16le(std::uint64_t offset);
    std::optional<std::uint16_t> u16be(std::uint64_t offset);
    std::optional<std::uint32_t> u32le(std::uint64_t offset);
    std::optional<std::uint32_t> u32be(std::uint64_t offset);
    std::optional<std::uint64_t> u64le(std::uint64_t offset);
    std::optional<std::uint64_t> u64be(std::uint64_t offset);
    // Byte order chosen at run time, as in TIFF structures.
    std::optional<std::uint16_t> u16(std::uint64_t offset, bool bigEndian);
    std::optional<std::uint32_t> u32(std::uint64_t offset, bool bigEndian);

    // True when the bytes at `offset` equal `expected`.
    bool matches(std::uint64_t offset, std::span<const std::uint8_t> expected);

    // First offset in [from, to) at which `pattern` starts, or nullopt. Clipped to size().
    std::optional<std::uint64_t> find(std::uint64_t from, std::uint64_t to,
                                      std::span<const std::uint8_t> pattern);
};

// Length of the run of zero bytes at the end of the data seen so far. Scans for a closing mark use it
// to give up in free space, which is usually zeroed, instead of reading on to their budget.
class ZeroRun {
public:
    std::uint64_t add(std::span<const std::uint8_t> bytes);

private:
    std::uint64_t run_ = 0;
};

// Bytes already in memory.
class MemoryByteReader final : public ByteReader {
public:
    explicit MemoryByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const override { return bytes_.size(); }
    std::span<const std::uint8_t> view(std::uint64_t offset, std::size_t maxBytes) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Bytes of a medium from a start sector on, read in sector-aligned blocks kept in a small cache so that
// validators may jump far ahead. Sectors that cannot be read are zeros. Reads stop for good once `readBudget`
// bytes have come from the medium, which bounds the time a broken or hostile structure can cost.
class SectorByteReader final : public ByteReader {
public:
    SectorByteReader(carving::SectorSource& source, std::uint64_t startSector, std::uint64_t limitBytes,
                     std::uint64_t readBudget);

    std::uint64_t size() const override { return size_; }
    std::span<const std::uint8_t> view(std::uint64_t offset, std::size_t maxBytes) override;

private:
    struct Block {
        std::uint64_t index = 0;
        std::uint64_t lastUse = 0;
        std::vector<std::uint8_t> bytes;
    };

    Block* block(std::uint64_t index);

    carving::SectorSource& source_;
    std::uint64_t startSector_;
    std::uint64_t size_;
    std::uint64_t budget_;
    std::uint64_t clock_ = 0;
    std::vector<Block> cache_;
};

} // namespace quarry::results::validators
