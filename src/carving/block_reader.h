#pragma once

#include "carving/sector_source.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quarry::carving {

// Sees the sectors a pass has read, in increasing order, each once; a sector that could not be
// read is left out. Something that learns from the medium's bytes watches them here, so the
// medium is read only once.
class BlockObserver {
public:
    virtual ~BlockObserver() = default;
    virtual void sectorsRead(std::uint64_t first, std::size_t count, const std::uint8_t* bytes) = 0;
};

// Hands out the sectors of a range in increasing order, read in blocks aligned to the block
// size. Inside a block whose read failed it reads sector by sector, so a bad sector costs one
// sector: it comes back as 512 zero bytes and the source is put at the next sector.
class BlockReader {
public:
    enum class Outcome {
        Read,   // the sector's bytes
        Failed, // zeros: the read failed, the source stands at the next sector
        Lost    // the read failed and the source could not be repositioned
    };

    BlockReader(SectorSource& source, std::size_t blockSectors);

    // Forgets the buffered block; the next sector asked for starts a new one that ends at
    // `end` at the latest.
    void restart(std::uint64_t end);

    // Sector `s`, asked for in increasing order; valid until the next call.
    const std::uint8_t* sector(std::uint64_t s, Outcome& outcome) {
        const std::uint64_t k = s - blockFirst_;
        if (blockReadable_ && k < blockCount_) {
            outcome = Outcome::Read;
            if (k + kPrefetchSectors < blockCount_) {
                prefetch(buffer_.get() + (k + kPrefetchSectors) * kSectorSize);
            }
            return buffer_.get() + k * kSectorSize;
        }
        return slowSector(s, outcome);
    }

    // The 64-byte lines of a sector that the caller looks at besides the first, as bits; they
    // are fetched ahead, where each would otherwise be a cache miss.
    void prefetchLines(std::uint8_t lines) { lines_ = static_cast<std::uint8_t>(lines | 1u); }

    // Shows every sector read from now on to `observer` (null: to nobody).
    void observe(BlockObserver* observer) { observer_ = observer; }

private:
    static constexpr std::uint64_t kPrefetchSectors = 8;

    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };

    void prefetch(const std::uint8_t* sector) const {
        for (unsigned bits = lines_; bits != 0; bits &= bits - 1) {
            __builtin_prefetch(sector + 64 * std::countr_zero(bits));
        }
    }
    const std::uint8_t* slowSector(std::uint64_t s, Outcome& outcome);
    void loadBlock(std::uint64_t s);

    SectorSource& source_;
    std::size_t blockSectors_;
    std::unique_ptr<std::uint8_t[], FreeDeleter> buffer_;
    std::uint64_t end_ = 0;
    std::uint64_t blockFirst_ = 0;
    std::uint64_t blockCount_ = 0;
    bool blockReadable_ = false;
    std::uint8_t lines_ = 1;
    BlockObserver* observer_ = nullptr;
};

} // namespace quarry::carving
