// Every validator over any bytes, read from memory (photo items) or from a medium in sectors.
// The first byte picks the extension, the second the path and where the item starts. A JPEG
// on a medium is also looked for in two pieces.
#include "carving/memory_source.h"
#include "results/fragments/bifragment_search.h"
#include "results/validators.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quarry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const auto extensions = results::validatorExtensions();
    const std::string extension(extensions[data[0] % extensions.size()]);
    const std::uint8_t how = data[1];
    const std::span<const std::uint8_t> bytes(data + 2, size - 2);

    if ((how & 1) == 0) {
        const auto end = results::findFileEnd(bytes, extension);
        if (end.validated && (end.bytes == 0 || end.bytes > bytes.size())) {
            std::abort();
        }
        return 0;
    }
    carving::MemorySource medium(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const std::uint64_t sectors = medium.sectorCount();
    const std::uint64_t start = sectors == 0 ? 0 : (how >> 1) % (sectors + 1);
    const std::uint64_t available = (sectors - std::min(start, sectors)) * kSectorSize;
    // A carved length and a reading limit that may exceed what the medium holds.
    const std::uint64_t itemBytes = (how & 0x40) ? available + kSectorSize : available;
    const std::uint64_t limit = (how & 0x80) ? itemBytes / 2 : itemBytes;
    const auto end = results::findFileEnd(medium, start, itemBytes, extension, limit);
    if (end.validated && (end.bytes == 0 || end.bytes > limit)) {
        std::abort();
    }
    if (extension == "JPG") {
        results::fragments::SearchLimits limits;
        limits.maxCandidates = 4;
        limits.maxFileBytes = limit;
        const auto found = results::fragments::findSecondPiece(medium, start, {}, limits);
        std::uint64_t held = 0;
        for (const auto& piece : found.pieces) {
            if (piece.first + piece.count > sectors) {
                std::abort();
            }
            held += piece.count * kSectorSize;
        }
        if (found.bytes > held || found.candidates > limits.maxCandidates) {
            std::abort();
        }
    }
    return 0;
}
