#include "results/validators/jpeg_xl_codestream.h"

#include <algorithm>
#include <initializer_list>

namespace quarry::results::validators {
namespace {

// Reads a JPEG XL codestream bit by bit, least significant bit first. A read past the source sets
// `failed` and returns zeros, so a parse checks `failed` once at its end.
class BitReader {
public:
    BitReader(ByteReader& in, std::uint64_t byte) : in_(in), bit_(byte * 8) {}

    std::uint64_t bits(int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (cachedByte_ != bit_ / 8) {
                const auto byte = in_.u8(bit_ / 8);
                failed = failed || !byte;
                cached_ = byte.value_or(0);
                cachedByte_ = bit_ / 8;
            }
            value |= static_cast<std::uint64_t>((cached_ >> (bit_ % 8)) & 1) << i;
            ++bit_;
        }
        return value;
    }
    bool flag() { return bits(1) != 0; }

    // A U32 field: two selector bits pick one of four distributions, each an offset plus some bits.
    struct Choice {
        std::uint32_t offset;
        int bits;
    };
    std::uint64_t u32(Choice a, Choice b, Choice c, Choice d) {
        const Choice choices[] = {a, b, c, d};
        const Choice& chosen = choices[bits(2)];
        return chosen.offset + bits(chosen.bits);
    }

    std::uint64_t u64() {
        switch (bits(2)) {
        case 0:
            return 0;
        case 1:
            return 1 + bits(4);
        case 2:
            return 17 + bits(8);
        default: {
            std::uint64_t value = bits(12);
            for (int shift = 12; shift < 64 && flag(); shift += 8) {
                value |= bits(shift == 60 ? 4 : 8) << shift;
            }
            return value;
        }
        }
    }

    // An enumeration value, which must be one of `allowed`.
    bool enumIn(std::initializer_list<std::uint64_t> allowed) {
        const std::uint64_t value = u32({0, 0}, {1, 0}, {2, 4}, {18, 6});
        return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
    }

    // Half-precision floats of a header must be finite.
    bool finiteHalves(int count) {
        bool finite = true;
        for (int i = 0; i < count; ++i) {
            finite = finite && (bits(16) >> 10 & 0x1F) != 0x1F;
        }
        return finite;
    }

    // Extension fields: a mask, then the length in bits of each extension named, which is skipped.
    bool skipExtensions() {
        const std::uint64_t mask = u64();
        std::uint64_t total = 0;
        for (int i = 0; i < 64; ++i) {
            if ((mask >> i & 1) != 0) {
                total += u64();
            }
        }
        if (total > kMaxExtensionBits) {
            return false;
        }
        skip(total);
        return true;
    }

    void skip(std::uint64_t count) { bit_ += count; }
    void seekByte(std::uint64_t byte) { bit_ = byte * 8; }

    // The bits up to the next byte boundary, which must be zero.
    bool zeroPadToByte() { return bits(static_cast<int>((8 - bit_ % 8) % 8)) == 0; }

    std::uint64_t byte() const { return bit_ / 8; }

    bool failed = false;

private:
    static constexpr std::uint64_t kMaxExtensionBits = 1 << 20;

    ByteReader& in_;
    std::uint64_t bit_;
    std::uint64_t cachedByte_ = ~0ULL;
    std::uint8_t cached_ = 0;
};

using Choice = BitReader::Choice;
constexpr Choice kSizes[] = {{1, 9}, {1, 13}, {1, 18}, {1, 30}};
constexpr std::uint64_t kMaxSide = 1ULL << 30;
constexpr int kMaxExtraChannels = 256;
constexpr std::uint64_t kMaxTocEntries = 1ULL << 22;

struct Dimensions {
    std::uint64_t xsize = 0;
    std::uint64_t ysize = 0;
};

Dimensions readSize(BitReader& bits) {
    const bool small = bits.flag();
    Dimensions size;
    size.ysize = small ? (bits.bits(5) + 1) * 8 : bits.u32(kSizes[0], kSizes[1], kSizes[2], kSizes[3]);
    const auto ratio = bits.bits(3);
    constexpr std::uint64_t kRatios[8][2] = {{0, 1}, {1, 1},  {12, 10}, {4, 3},
                                             {3, 2}, {16, 9}, {5, 4},   {2, 1}};
    if (ratio == 0) {
        size.xsize = small ? (bits.bits(5) + 1) * 8 : bits.u32(kSizes[0], kSizes[1], kSizes[2], kSizes[3]);
    } else {
        size.xsize = size.ysize * kRatios[ratio][0] / kRatios[ratio][1];
    }
    return size;
}

void readPreviewSize(BitReader& bits) {
    const bool div8 = bits.flag();
    const auto side = [&] {
        return div8 ? bits.u32({16, 0}, {32, 0}, {1, 5}, {33, 9})
                    : bits.u32({1, 6}, {65, 8}, {321, 10}, {1345, 12});
    };
    side();
    if (bits.bits(3) == 0) {
        side();
    }
}

bool readBitDepth(BitReader& bits) {
    if (!bits.flag()) {
        const auto depth = bits.u32({8, 0}, {10, 0}, {12, 0}, {1, 6});
        return depth <= 31;
    }
    const auto depth = bits.u32({32, 0}, {16, 0}, {24, 0}, {1, 6});
    const auto exponent = bits.bits(4) + 1;
    return exponent >= 2 && exponent <= 8 && depth >= exponent + 3 && depth - exponent - 1 <= 23;
}

struct Metadata {
    Dimensions size;
    bool xyb = true;
    bool wantIcc = false;
    bool preview = false;
    bool animation = false;
    bool timecodes = false;
    std::uint64_t extraChannels = 0;
};

bool readColourEncoding(BitReader& bits, Metadata& m) {
    if (bits.flag()) {
        return true;
    }
    m.wantIcc = bits.flag();
    const auto space = bits.u32({0, 0}, {1, 0}, {2, 4}, {18, 6});
    constexpr std::uint64_t kGrey = 1;
    constexpr std::uint64_t kXyb = 2;
    if (space > 3) {
        return false;
    }
    if (m.wantIcc) {
        return true;
    }
    const auto customXy = [&](int points) {
        for (int i = 0; i < 2 * points; ++i) {
            bits.u32({0, 19}, {524288, 19}, {1048576, 20}, {2097152, 21});
        }
    };
    if (space != kXyb) {
        const std::uint64_t white = bits.u32({0, 0}, {1, 0}, {2, 4}, {18, 6});
        if (white != 1 && white != 2 && white != 10 && white != 11) {
            return false;
        }
        if (white == 2) {
            customXy(1);
        }
    }
    if (space != kGrey && space != kXyb) {
        const std::uint64_t primaries = bits.u32({0, 0}, {1, 0}, {2, 4}, {18, 6});
        if (primaries != 1 && primaries != 2 && primaries != 9 && primaries != 11) {
            return false;
        }
        if (primaries == 2) {
            customXy(3);
        }
    }
    if (space != kXyb) {
        if (bits.flag()) {
            const auto gamma = bits.bits(24);
            if (gamma == 0 || gamma > 10000000) {
                return false;
            }
        } else if (!bits.enumIn({1, 2, 8, 13, 16, 17, 18})) {
            return false;
        }
    }
    return bits.enumIn({0, 1, 2, 3});
}

bool readExtraChannel(BitReader& bits) {
    if (bits.flag()) {
        return true; // an alpha channel of the image's depth
    }
    const std::uint64_t type = bits.u32({0, 0}, {1, 0}, {2, 4}, {18, 6});
    constexpr std::uint64_t kAlpha = 0;
    constexpr std::uint64_t kSpot = 2;
    constexpr std::uint64_t kColourFilterArray = 5;
    if (type > 17 || !readBitDepth(bits)) {
        return false;
    }
    bits.u32({0, 0}, {3, 0}, {4, 0}, {1, 3});
    bits.skip(8 * bits.u32({0, 0}, {0, 4}, {16, 5}, {48, 10}));
    if (type == kAlpha) {
        bits.flag();
    }
    if (type == kSpot && !bits.finiteHalves(4)) {
        return false;
    }
    if (type == kColourFilterArray) {
        bits.u32({1, 0}, {0, 2}, {3, 4}, {19, 8});
    }
    return true;
}

bool readToneMapping(BitReader& bits) {
    if (bits.flag()) {
        return true;
    }
    const bool levels = bits.finiteHalves(2); // intensity target, least brightness
    bits.flag();                              // relative to the display's maximum
    return levels && bits.finiteHalves(1);    // linear below
}

std::optional<Metadata> readMetadata(BitReader& bits) {
    Metadata m;
    m.size = readSize(bits);
    if (m.size.xsize == 0 || m.size.xsize > kMaxSide || m.size.ysize > kMaxSide) {
        return std::nullopt;
    }
    if (bits.flag()) {
        return bits.failed ? std::nullopt : std::optional(m); // all defaults
    }
    const bool extraFields = bits.flag();
    if (extraFields) {
        bits.bits(3); // orientation
        if (bits.flag()) {
            readSize(bits); // intrinsic size
        }
        m.preview = bits.flag();
        if (m.preview) {
            readPreviewSize(bits);
        }
        m.animation = bits.flag();
        if (m.animation) {
            bits.u32({100, 0}, {1000, 0}, {1, 10}, {1, 30});
            bits.u32({1, 0}, {1001, 0}, {1, 8}, {1, 10});
            bits.u32({0, 0}, {0, 3}, {0, 16}, {0, 32});
            m.timecodes = bits.flag();
        }
    }
    if (!readBitDepth(bits)) {
        return std::nullopt;
    }
    bits.flag(); // 16-bit buffers suffice
    m.extraChannels = bits.u32({0, 0}, {1, 0}, {2, 4}, {1, 12});
    if (m.extraChannels > kMaxExtraChannels) {
        return std::nullopt;
    }
    for (std::uint64_t i = 0; i < m.extraChannels; ++i) {
        if (!readExtraChannel(bits)) {
            return std::nullopt;
        }
    }
    m.xyb = bits.flag();
    if (!readColourEncoding(bits, m)) {
        return std::nullopt;
    }
    if (extraFields && !readToneMapping(bits)) {
        return std::nullopt;
    }
    if (!bits.skipExtensions() || bits.failed) {
        return std::nullopt;
    }
    return m;
}

// Upsampling weights and the XYB matrix, when they are not the defaults.
bool readTransformData(BitReader& bits, bool xyb) {
    if (bits.flag()) {
        return true;
    }
    if (xyb && !bits.flag() && !bits.finiteHalves(16)) {
        return false;
    }
    const auto weights = bits.bits(3);
    return ((weights & 1) == 0 || bits.finiteHalves(15)) && ((weights & 2) == 0 || bits.finiteHalves(55)) &&
           ((weights & 4) == 0 || bits.finiteHalves(210));
}

enum FrameType : std::uint64_t { kRegular = 0, kLowFrequency = 1, kReferenceOnly = 2, kSkipProgressive = 3 };

struct Frame {
    bool last = true;
    std::uint64_t entries = 1; // sections listed in the table of contents
};

std::uint64_t divideUp(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// The blending of one channel; returns its mode, or nullopt for a mode that does not exist.
std::optional<std::uint64_t> readBlending(BitReader& bits, std::uint64_t extraChannels, bool partial) {
    const auto mode = bits.u32({0, 0}, {1, 0}, {2, 0}, {3, 2});
    constexpr std::uint64_t kBlend = 2;
    constexpr std::uint64_t kAlphaWeightedAdd = 3;
    constexpr std::uint64_t kMultiply = 4;
    if (mode > kMultiply) {
        return std::nullopt;
    }
    if (extraChannels > 0 && (mode == kBlend || mode == kAlphaWeightedAdd)) {
        bits.u32({0, 0}, {1, 0}, {2, 0}, {3, 3});
    }
    if (extraChannels > 0 && (mode == kBlend || mode == kAlphaWeightedAdd || mode == kMultiply)) {
        bits.flag();
    }
    if (mode != 0 || partial) {
        bits.bits(2);
    }
    return mode;
}

bool readRestorationFilter(BitReader& bits, bool modular) {
    if (bits.flag()) {
        return true;
    }
    if (bits.flag() && bits.flag() && !bits.finiteHalves(6)) {
        return false; // custom Gabor-like weights
    }
    if (bits.bits(2) != 0) {
        if (!modular && bits.flag() && !bits.finiteHalves(8)) {
            return false;
        }
        if (bits.flag() && !bits.finiteHalves(5)) {
            return false;
        }
        if (bits.flag() && !bits.finiteHalves(modular ? 3 : 4)) {
            return false;
        }
        if (modular && !bits.finiteHalves(1)) {
            return false;
        }
    }
    return bits.skipExtensions();
}

// A frame header up to its table of contents.
std::optional<Frame> readFrameHeader(BitReader& bits, const Metadata& m) {
    Frame frame;
    if (bits.flag()) {
        frame.entries = m.size.xsize <= 256 && m.size.ysize <= 256
                            ? 1
                            : 2 + divideUp(m.size.xsize, 2048) * divideUp(m.size.ysize, 2048) +
                                  divideUp(m.size.xsize, 256) * divideUp(m.size.ysize, 256);
        return frame;
    }
    const auto type = bits.bits(2);
    const bool modular = bits.flag();
    constexpr std::uint64_t kUseLowFrequencyFrame = 0x20;
    const auto flags = bits.u64();
    int hShift = 0;
    int vShift = 0;
    std::uint64_t upsampling = 1;
    const bool ycbcr = !m.xyb && bits.flag();
    if ((flags & kUseLowFrequencyFrame) == 0) {
        if (ycbcr) {
            for (int c = 0; c < 3; ++c) {
                const auto mode = bits.bits(2);
                hShift = std::max(hShift, mode == 1 || mode == 2 ? 1 : 0);
                vShift = std::max(vShift, mode == 1 || mode == 3 ? 1 : 0);
            }
        }
        upsampling = bits.u32({1, 0}, {2, 0}, {4, 0}, {8, 0});
        for (std::uint64_t c = 0; c < m.extraChannels; ++c) {
            bits.u32({1, 0}, {2, 0}, {4, 0}, {8, 0});
        }
    }
    const std::uint64_t groupDim = modular ? 128ULL << bits.bits(2) : 256;
    if (m.xyb && !modular) {
        bits.bits(6); // quantisation matrix scales
    }
    std::uint64_t passes = 1;
    if (type != kReferenceOnly) {
        passes = bits.u32({1, 0}, {2, 0}, {3, 0}, {4, 3});
        if (passes != 1) {
            const auto downsampled = bits.u32({0, 0}, {1, 0}, {2, 0}, {3, 1});
            bits.skip(2 * (passes - 1)); // shifts
            for (std::uint64_t i = 0; i < downsampled; ++i) {
                bits.u32({1, 0}, {2, 0}, {4, 0}, {8, 0});
            }
            for (std::uint64_t i = 0; i < downsampled; ++i) {
                bits.u32({0, 0}, {1, 0}, {2, 0}, {0, 3}); // the last pass of each
            }
        }
    }
    Dimensions size = m.size;
    bool partial = false;
    if (type == kLowFrequency) {
        const auto level = bits.u32({1, 0}, {2, 0}, {3, 0}, {4, 0});
        size = {divideUp(size.xsize, 1ULL << (3 * level)), divideUp(size.ysize, 1ULL << (3 * level))};
    } else if (bits.flag()) {
        constexpr Choice kOrigin[] = {{0, 8}, {256, 11}, {2304, 14}, {18688, 30}};
        std::int64_t x0 = 0;
        std::int64_t y0 = 0;
        if (type == kRegular || type == kSkipProgressive) {
            const auto unpack = [](std::uint64_t u) {
                return (u & 1) != 0 ? -static_cast<std::int64_t>((u + 1) / 2)
                                    : static_cast<std::int64_t>(u / 2);
            };
            x0 = unpack(bits.u32(kOrigin[0], kOrigin[1], kOrigin[2], kOrigin[3]));
            y0 = unpack(bits.u32(kOrigin[0], kOrigin[1], kOrigin[2], kOrigin[3]));
        }
        size.xsize = bits.u32(kOrigin[0], kOrigin[1], kOrigin[2], kOrigin[3]);
        size.ysize = bits.u32(kOrigin[0], kOrigin[1], kOrigin[2], kOrigin[3]);
        const auto imageX = static_cast<std::int64_t>(m.size.xsize);
        const auto imageY = static_cast<std::int64_t>(m.size.ysize);
        partial = x0 > 0 || y0 > 0 || x0 + static_cast<std::int64_t>(size.xsize) < imageX ||
                  y0 + static_cast<std::int64_t>(size.ysize) < imageY;
    }
    frame.last = false;
    if (type == kRegular || type == kSkipProgressive) {
        std::optional<bool> replaces;
        for (std::uint64_t c = 0; c <= m.extraChannels; ++c) {
            const auto mode = readBlending(bits, m.extraChannels, partial);
            if (!mode) {
                return std::nullopt;
            }
            replaces = replaces.value_or(*mode == 0);
        }
        std::uint64_t duration = 0;
        if (m.animation) {
            duration = bits.u32({0, 0}, {1, 0}, {0, 8}, {0, 32});
            if (m.timecodes) {
                bits.bits(32);
            }
        }
        frame.last = bits.flag();
        if (!frame.last) {
            const auto slot = bits.bits(2);
            // A frame kept for later frames says whether it is kept before the colour transform.
            if ((duration == 0 || slot != 0) && *replaces && !partial) {
                bits.flag();
            }
        }
    } else if (type == kReferenceOnly) {
        bits.bits(2); // the slot it is kept in
        bits.flag();  // kept before the colour transform
    }
    bits.skip(8 * bits.u32({0, 0}, {0, 4}, {16, 5}, {48, 10})); // name
    if (!readRestorationFilter(bits, modular) || !bits.skipExtensions() || size.xsize == 0 ||
        size.ysize == 0) {
        return std::nullopt;
    }
    const std::uint64_t xsize = divideUp(size.xsize, upsampling);
    const std::uint64_t ysize = divideUp(size.ysize, upsampling);
    const std::uint64_t xBlocks = divideUp(xsize, 8ULL << hShift) << hShift;
    const std::uint64_t yBlocks = divideUp(ysize, 8ULL << vShift) << vShift;
    const std::uint64_t groups = divideUp(xsize, groupDim) * divideUp(ysize, groupDim);
    const std::uint64_t lowFrequencyGroups = divideUp(xBlocks, groupDim) * divideUp(yBlocks, groupDim);
    frame.entries = groups == 1 && passes == 1 ? 1 : 2 + lowFrequencyGroups + groups * passes;
    return frame;
}

// Offset after the frame whose table of contents is next: the sections it lists follow it.
std::optional<std::uint64_t> frameEnd(BitReader& bits, const Frame& frame) {
    if (frame.entries > kMaxTocEntries || bits.flag() || !bits.zeroPadToByte()) {
        return std::nullopt; // a permuted table is entropy coded: not followed
    }
    std::uint64_t bytes = 0;
    for (std::uint64_t i = 0; i < frame.entries; ++i) {
        bytes += bits.u32({0, 10}, {1024, 14}, {17408, 22}, {4211712, 30});
    }
    if (!bits.zeroPadToByte() || bits.failed) {
        return std::nullopt;
    }
    return bits.byte() + bytes;
}

} // namespace

std::optional<std::uint64_t> jpegXlCodestreamEnd(ByteReader& in) {
    constexpr int kMaxFrames = 1 << 16;
    if (!in.matches(0, kJpegXlCodestreamSignature)) {
        return std::nullopt;
    }
    BitReader bits(in, kJpegXlCodestreamSignature.size());
    const auto metadata = readMetadata(bits);
    // An embedded colour profile is entropy coded, and a preview is one more frame: not followed.
    if (!metadata || metadata->wantIcc || metadata->preview || !readTransformData(bits, metadata->xyb) ||
        !bits.zeroPadToByte()) {
        return std::nullopt;
    }
    for (int count = 0; count < kMaxFrames; ++count) {
        const auto frame = readFrameHeader(bits, *metadata);
        const auto end = frame ? frameEnd(bits, *frame) : std::nullopt;
        if (!end || end > in.size()) {
            return std::nullopt;
        }
        if (frame->last) {
            return end;
        }
        bits.seekByte(*end);
    }
    return std::nullopt;
}

} // namespace quarry::results::validators
