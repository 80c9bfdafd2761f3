#pragma once

// Media for the scanners and savers: images with corpus files planted on sector boundaries,
// and a patterned medium with chosen unreadable sectors.

#include "carving/sector_source.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quarry::test {

// A corpus file placed at a sector of a disk image.
struct Planted {
    std::string corpusName;
    std::uint64_t sector;
};

enum class Filler { Zero, Random };

// An image of `sectors` sectors: the filler (random bytes from `seed`), then the planted files.
std::vector<std::uint8_t> buildImage(std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed = 1);
// The same, written to `image`; returns the bytes as written.
std::vector<std::uint8_t> writeImage(const std::filesystem::path& image, std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed = 1);

// The bytes of sectors [start, end) of an image.
std::vector<std::uint8_t> sectorSlice(const std::vector<std::uint8_t>& image, std::uint64_t start,
                                      std::uint64_t end);

// Every byte of sector n is fill(n); the sectors in `bad` and those past the end fail to read.
class PatternSource : public carving::SectorSource {
public:
    explicit PatternSource(std::uint64_t sectors, std::set<std::uint64_t> badSectors = {})
        : bad(std::move(badSectors)), sectors_(sectors) {}
    std::set<std::uint64_t> bad;
    std::function<void(std::uint64_t)> onRead; // called before each sector is read

    std::uint64_t sectorCount() const override { return sectors_; }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override;
    static std::uint8_t fill(std::uint64_t n) { return static_cast<std::uint8_t>((n + 1) % 251); }

private:
    std::uint64_t sectors_;
};

} // namespace quarry::test
