#include "disk_image.h"

#include "common/sector.h"
#include "test_files.h"

#include <cstring>
#include <random>
#include <stdexcept>

namespace quarry::test {

std::vector<std::uint8_t> buildImage(std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed) {
    std::vector<std::uint8_t> bytes(sectors * kSectorSize, 0);
    if (filler == Filler::Random) {
        std::mt19937 random(seed);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
    }
    for (const auto& p : planted) {
        const auto file = corpusBytes(p.corpusName);
        if (file.empty() || p.sector * kSectorSize + file.size() > bytes.size())
            throw std::runtime_error("cannot plant " + p.corpusName);
        std::copy(file.begin(), file.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(p.sector * kSectorSize));
    }
    return bytes;
}

std::vector<std::uint8_t> writeImage(const std::filesystem::path& image, std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed) {
    auto bytes = buildImage(sectors, filler, planted, seed);
    writeBytes(image, bytes);
    return bytes;
}

std::vector<std::uint8_t> sectorSlice(const std::vector<std::uint8_t>& image, std::uint64_t start,
                                      std::uint64_t end) {
    return {image.begin() + static_cast<std::ptrdiff_t>(start * kSectorSize),
            image.begin() + static_cast<std::ptrdiff_t>(end * kSectorSize)};
}

bool PatternSource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    for (std::size_t k = 0; k < count; ++k) {
        const auto n = first + k;
        if (onRead)
            onRead(n);
        if (n >= sectors_ || bad.count(n))
            return false;
        std::memset(out + k * kSectorSize, fill(n), kSectorSize);
    }
    return true;
}

} // namespace quarry::test
