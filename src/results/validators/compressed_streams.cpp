#include "results/validators/formats.h"

#include <array>
#include <bzlib.h>
#include <vector>
#include <zlib.h>

namespace quarry::results::validators {
namespace {

constexpr std::size_t kInputPiece = 64 * 1024;
constexpr std::size_t kOutputBytes = 256 * 1024;
// Inflating costs time; a stream that expands beyond this is not followed to its end.
constexpr std::uint64_t kMaxExpandedBytes = 8ULL << 30;
constexpr int kMaxMembers = 4096;

constexpr std::array<std::uint8_t, 3> kGzipMagic = {0x1F, 0x8B, 0x08};
constexpr std::uint8_t kGzipReservedFlags = 0xE0;
constexpr std::uint8_t kGzipHeaderCrc = 0x02;
constexpr std::uint8_t kGzipExtra = 0x04;
constexpr std::uint8_t kGzipName = 0x08;
constexpr std::uint8_t kGzipComment = 0x10;
constexpr std::uint64_t kMaxGzipText = 64 * 1024;

constexpr std::array<std::uint8_t, 3> kBzipMagic = {'B', 'Z', 'h'};
constexpr std::array<std::uint8_t, 6> kBzipBlock = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
constexpr std::array<std::uint8_t, 6> kBzipEnd = {0x17, 0x72, 0x45, 0x38, 0x50, 0x90};

// Offset after the zero-terminated text at `pos`.
std::optional<std::uint64_t> skipText(ByteReader& in, std::uint64_t pos) {
    const auto zero = in.find(pos, pos + kMaxGzipText, std::array<std::uint8_t, 1>{0});
    return zero ? std::optional(*zero + 1) : std::nullopt;
}

// Offset of the deflate data of the gzip member header at `pos`.
std::optional<std::uint64_t> gzipDataAt(ByteReader& in, std::uint64_t pos) {
    const auto flags = in.u8(pos + 3);
    if (!in.matches(pos, kGzipMagic) || !flags || (*flags & kGzipReservedFlags) != 0) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> at = pos + 10;
    if ((*flags & kGzipExtra) != 0) {
        const auto extra = in.u16le(*at);
        at = extra ? std::optional(*at + 2 + *extra) : std::nullopt;
    }
    if (at && (*flags & kGzipName) != 0) {
        at = skipText(in, *at);
    }
    if (at && (*flags & kGzipComment) != 0) {
        at = skipText(in, *at);
    }
    if (at && (*flags & kGzipHeaderCrc) != 0) {
        *at += 2;
    }
    return at;
}

// A decompressor fed from the reader; `Step` runs it once over the input it was given and reports
// whether the stream ended, went on, or broke.
enum class Step { More, Ended, Broken };

class Inflater {
public:
    Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ready_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates the raw deflate data at `pos`; returns the offset after it, with the CRC-32 and the
    // length of what it expanded to.
    std::optional<std::uint64_t> run(ByteReader& in, std::uint64_t pos) {
        if (!ready_) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> out(kOutputBytes);
        for (;;) {
            const auto piece = in.view(pos, kInputPiece);
            if (piece.empty()) {
                return std::nullopt;
            }
            stream_.next_in = const_cast<Bytef*>(piece.data());
            stream_.avail_in = static_cast<uInt>(piece.size());
            while (stream_.avail_in > 0) {
                stream_.next_out = out.data();
                stream_.avail_out = static_cast<uInt>(out.size());
                const int status = inflate(&stream_, Z_NO_FLUSH);
                const std::size_t produced = out.size() - stream_.avail_out;
                crc_ = static_cast<std::uint32_t>(::crc32(crc_, out.data(), static_cast<uInt>(produced)));
                expanded_ += produced;
                if (status == Z_STREAM_END) {
                    return pos + (piece.size() - stream_.avail_in);
                }
                if ((status != Z_OK && status != Z_BUF_ERROR) || expanded_ > kMaxExpandedBytes ||
                    (status == Z_BUF_ERROR && produced == 0 && stream_.avail_in > 0)) {
                    return std::nullopt;
                }
            }
            pos += piece.size();
        }
    }

    std::uint32_t crc() const { return crc_; }
    std::uint64_t expanded() const { return expanded_; }

private:
    z_stream stream_{};
    bool ready_ = false;
    std::uint32_t crc_ = 0;
    std::uint64_t expanded_ = 0;
};

class Bunzipper {
public:
    Bunzipper() { ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
    ~Bunzipper() {
        if (ready_) {
            BZ2_bzDecompressEnd(&stream_);
        }
    }
    Bunzipper(const Bunzipper&) = delete;
    Bunzipper& operator=(const Bunzipper&) = delete;

    // Decompresses the stream at `pos`, whose block and stream checksums the library verifies;
    // returns the offset after it.
    std::optional<std::uint64_t> run(ByteReader& in, std::uint64_t pos) {
        if (!ready_) {
            return std::nullopt;
        }
        std::vector<char> out(kOutputBytes);
        std::uint64_t expanded = 0;
        for (;;) {
            const auto piece = in.view(pos, kInputPiece);
            if (piece.empty()) {
                return std::nullopt;
            }
            stream_.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(piece.data()));
            stream_.avail_in = static_cast<unsigned>(piece.size());
            while (stream_.avail_in > 0) {
                stream_.next_out = out.data();
                stream_.avail_out = static_cast<unsigned>(out.size());
                const int status = BZ2_bzDecompress(&stream_);
                expanded += out.size() - stream_.avail_out;
                if (status == BZ_STREAM_END) {
                    return pos + (piece.size() - stream_.avail_in);
                }
                if (status != BZ_OK || expanded > kMaxExpandedBytes) {
                    return std::nullopt;
                }
            }
            pos += piece.size();
        }
    }

private:
    bz_stream stream_{};
    bool ready_ = false;
};

bool bzipStreamStarts(ByteReader& in, std::uint64_t pos) {
    const auto level = in.u8(pos + 3);
    return in.matches(pos, kBzipMagic) && level && *level >= '1' && *level <= '9' &&
           (in.matches(pos + 4, kBzipBlock) || in.matches(pos + 4, kBzipEnd));
}

} // namespace

// gzip: members, each a header, deflate data that must inflate to its end, and a trailer whose CRC-32
// and length must match what it inflated to. Concatenated members make one file.
std::optional<std::uint64_t> gzipEnd(ByteReader& in, std::uint64_t) {
    std::uint64_t pos = 0;
    for (int member = 0; member < kMaxMembers; ++member) {
        const auto data = gzipDataAt(in, pos);
        if (!data) {
            break;
        }
        Inflater inflater;
        const auto trailer = inflater.run(in, *data);
        const auto crc = trailer ? in.u32le(*trailer) : std::nullopt;
        const auto length = trailer ? in.u32le(*trailer + 4) : std::nullopt;
        if (!crc || *crc != inflater.crc() || length != static_cast<std::uint32_t>(inflater.expanded())) {
            break;
        }
        pos = *trailer + 8;
    }
    return pos > 0 ? std::optional(pos) : std::nullopt;
}

// bzip2: streams of "BZh", the block size and a block or end mark, that decompress with every
// checksum right. Concatenated streams, as parallel compressors write them, make one file.
std::optional<std::uint64_t> bzip2End(ByteReader& in, std::uint64_t) {
    std::uint64_t pos = 0;
    for (int stream = 0; stream < kMaxMembers && bzipStreamStarts(in, pos); ++stream) {
        Bunzipper bunzipper;
        const auto end = bunzipper.run(in, pos);
        if (!end) {
            break;
        }
        pos = *end;
    }
    return pos > 0 ? std::optional(pos) : std::nullopt;
}

} // namespace quarry::results::validators
