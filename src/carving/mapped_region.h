#pragma once

#include "carving/sector_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quarry::carving {

// A read-only private mapping of part of an open file. A page that can no longer be read
// while mapped (the file was shortened, or the disk under it failed) reads as zeros instead
// of stopping the process with SIGBUS.
class MappedRegion final : public SectorView {
    struct Token {};

public:
    // Maps `length` bytes from `offset`, which need not be on a page boundary. Null when the
    // range cannot be mapped.
    static std::unique_ptr<MappedRegion> map(int fd, std::uint64_t offset, std::size_t length);

    MappedRegion(Token, void* base, std::size_t length, std::size_t slot, const std::uint8_t* data)
        : base_(base), length_(length), slot_(slot), data_(data) {}
    MappedRegion(const MappedRegion&) = delete;
    MappedRegion& operator=(const MappedRegion&) = delete;
    ~MappedRegion() override;

    const std::uint8_t* data() const override { return data_; }
    std::uint64_t unreadableSectors() const override;

private:
    void* base_;
    std::size_t length_;
    std::size_t slot_;
    const std::uint8_t* data_;
};

} // namespace quarry::carving
