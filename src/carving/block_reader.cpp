#include "carving/block_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quarry::carving {

namespace {

constexpr std::size_t kBufferAlignment = 4096;

// Blocks in place at once (8 MiB by default): few mappings, and little of the medium resident.
constexpr std::uint64_t kWindowBlocks = 8;

} // namespace

BlockReader::BlockReader(SectorSource& source, std::size_t blockSectors)
    : source_(source), blockSectors_(std::max<std::size_t>(blockSectors, 1)) {
    const std::size_t bytes = blockSectors_ * kSectorSize;
    const std::size_t rounded = (bytes + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment;
    buffer_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kBufferAlignment, rounded)));
    if (!buffer_) {
        throw std::bad_alloc();
    }
    blockData_ = buffer_.get();
}

void BlockReader::dropWindow() {
    if (window_) {
        unreadable_ += window_->unreadableSectors() - windowUnreadable_;
        window_.reset();
    }
    windowUnreadable_ = 0;
}

std::uint64_t BlockReader::takeUnreadableSectors() {
    std::uint64_t taken = unreadable_;
    unreadable_ = 0;
    if (window_) {
        const std::uint64_t now = window_->unreadableSectors();
        taken += now - windowUnreadable_;
        windowUnreadable_ = now;
    }
    return taken;
}

void BlockReader::restart(std::uint64_t end) {
    dropWindow();
    blockData_ = buffer_.get();
    end_ = end;
    blockFirst_ = 0;
    blockCount_ = 0;
    blockReadable_ = false;
}

bool BlockReader::mapWindow(std::uint64_t s) {
    dropWindow();
    const std::uint64_t count =
        std::min<std::uint64_t>(kWindowBlocks * blockSectors_, std::max(end_, s + 1) - s);
    window_ = source_.mapSectors(s, static_cast<std::size_t>(count));
    if (!window_) {
        return false;
    }
    blockFirst_ = s;
    blockCount_ = count;
    blockData_ = window_->data();
    blockReadable_ = true;
    return true;
}

void BlockReader::loadBlock(std::uint64_t s) {
    if (mapWindow(s)) {
        return;
    }
    const std::uint64_t alignedEnd = s - s % blockSectors_ + blockSectors_;
    blockFirst_ = s;
    blockCount_ = std::min(alignedEnd, std::max(end_, s + 1)) - s;
    blockData_ = buffer_.get();
    blockReadable_ = source_.readSectors(s, static_cast<std::size_t>(blockCount_), buffer_.get());
}

const std::uint8_t* BlockReader::slowSector(std::uint64_t s, Outcome& outcome) {
    if (s - blockFirst_ >= blockCount_) {
        loadBlock(s);
        if (blockReadable_) {
            outcome = Outcome::Read;
            return blockData_;
        }
    }
    std::uint8_t* slot = buffer_.get() + (s - blockFirst_) * kSectorSize;
    if (source_.readSectors(s, 1, slot)) {
        outcome = Outcome::Read;
        return slot;
    }
    std::memset(slot, 0, kSectorSize);
    outcome = source_.reposition(s + 1) ? Outcome::Failed : Outcome::Lost;
    return slot;
}

} // namespace quarry::carving
