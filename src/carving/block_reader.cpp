#include "carving/block_reader.h"

#include <algorithm>
#include <new>

namespace quarry::carving {

namespace {

constexpr std::size_t kBufferAlignment = 4096;

} // namespace

BlockReader::BlockReader(SectorSource& source, std::size_t blockSectors)
    : source_(source), blockSectors_(std::max<std::size_t>(blockSectors, 1)) {
    const std::size_t bytes = blockSectors_ * kSectorSize;
    const std::size_t rounded = (bytes + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment;
    buffer_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kBufferAlignment, rounded)));
    if (!buffer_) {
        throw std::bad_alloc();
    }
}

void BlockReader::restart(std::uint64_t end) {
    end_ = end;
    blockFirst_ = 0;
    blockCount_ = 0;
    blockReadable_ = false;
}

void BlockReader::loadBlock(std::uint64_t s) {
    const std::uint64_t alignedEnd = s - s % blockSectors_ + blockSectors_;
    blockFirst_ = s;
    blockCount_ = std::min(alignedEnd, std::max(end_, s + 1)) - s;
    blockReadable_ = source_.readSectors(s, static_cast<std::size_t>(blockCount_), buffer_.get());
    if (blockReadable_ && observer_ != nullptr) {
        observer_->sectorsRead(s, static_cast<std::size_t>(blockCount_), buffer_.get());
    }
}

const std::uint8_t* BlockReader::slowSector(std::uint64_t s, Outcome& outcome) {
    if (s - blockFirst_ >= blockCount_) {
        loadBlock(s);
        if (blockReadable_) {
            outcome = Outcome::Read;
            return buffer_.get();
        }
    }
    std::uint8_t* slot = buffer_.get() + (s - blockFirst_) * kSectorSize;
    const ZeroFilledRead read = readSectorsOrZeros(source_, s, 1, slot);
    outcome = read.lost ? Outcome::Lost : read.unreadable > 0 ? Outcome::Failed : Outcome::Read;
    if (outcome == Outcome::Read && observer_ != nullptr) {
        observer_->sectorsRead(s, 1, slot);
    }
    return slot;
}

} // namespace quarry::carving
