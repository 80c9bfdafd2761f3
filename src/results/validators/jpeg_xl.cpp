#include "results/validators/boxes.h"
#include "results/validators/formats.h"
#include "results/validators/jpeg_xl_codestream.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 12> kContainerSignature = {0,   0,   0,    12,   'J',  'X',
                                                              'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr BoxType kFileType = {'f', 't', 'y', 'p'};
constexpr BoxType kBrand = {'j', 'x', 'l', ' '};
constexpr BoxType kCodestream = {'j', 'x', 'l', 'c'};
constexpr BoxType kPartialCodestream = {'j', 'x', 'l', 'p'};
constexpr std::uint32_t kLastPart = 0x80000000;
// Boxes that stand at the top level of a JPEG XL container.
constexpr std::array<BoxType, 10> kTopLevelBoxes = {{{'f', 't', 'y', 'p'},
                                                     {'j', 'x', 'l', 'l'},
                                                     {'j', 'x', 'l', 'c'},
                                                     {'j', 'x', 'l', 'p'},
                                                     {'j', 'x', 'l', 'i'},
                                                     {'j', 'b', 'r', 'd'},
                                                     {'E', 'x', 'i', 'f'},
                                                     {'x', 'm', 'l', ' '},
                                                     {'j', 'u', 'm', 'b'},
                                                     {'b', 'r', 'o', 'b'}}};

} // namespace

// JPEG XL as a bare codestream, or in its container: the signature box, a file-type box of brand "jxl ", then
// top-level boxes whose codestream (whole, or in parts up to the one marked last) starts with the codestream
// signature. The file ends after the last such box.
std::optional<std::uint64_t> jpegXlEnd(ByteReader& in, std::uint64_t itemBytes) {
    if (in.matches(0, kJpegXlCodestreamSignature)) {
        return jpegXlCodestreamEnd(in);
    }
    const auto fileType = readBox(in, kContainerSignature.size(), itemBytes);
    if (!in.matches(0, kContainerSignature) || !fileType || fileType->type != kFileType ||
        !in.matches(fileType->payload, kBrand)) {
        return std::nullopt;
    }
    bool started = false;
    bool complete = false;
    const std::uint64_t end =
        walkKnownBoxes(in, kContainerSignature.size(), itemBytes, kTopLevelBoxes, [&](const Box& box) {
            if (box.type == kCodestream) {
                started = complete = in.matches(box.payload, kJpegXlCodestreamSignature);
                return complete;
            }
            if (box.type == kPartialCodestream) {
                const auto index = in.u32be(box.payload);
                if (!index || (!started && !in.matches(box.payload + 4, kJpegXlCodestreamSignature))) {
                    return false;
                }
                started = true;
                complete = (*index & kLastPart) != 0;
            }
            return true;
        });
    return complete ? std::optional(end) : std::nullopt;
}

} // namespace quarry::results::validators
