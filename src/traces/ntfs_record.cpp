#include "traces/ntfs_record.h"

#include "traces/bytes.h"

#include <algorithm>
#include <cstring>

namespace quarry::traces {
namespace {

constexpr std::size_t kStride = 512;
constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kFileName = 0x30;
constexpr std::uint32_t kData = 0x80;
constexpr std::uint32_t kEnd = 0xFFFFFFFF;
constexpr std::uint8_t kDosNamespace = 2;
// A run list longer than this is taken for garbage.
constexpr std::size_t kMostRuns = 65536;

bool applyFixups(std::span<std::uint8_t> r) {
    const std::size_t offset = le16(r.data() + 4);
    const std::size_t count = le16(r.data() + 6);
    if (count != r.size() / kStride + 1 || offset + 2 * count > r.size()) {
        return false;
    }
    const std::uint8_t* usa = r.data() + offset;
    for (std::size_t k = 1; k < count; ++k) {
        std::uint8_t* tail = r.data() + k * kStride - 2;
        if (std::memcmp(tail, usa, 2) != 0) {
            return false;
        }
        std::memcpy(tail, usa + 2 * k, 2);
    }
    return true;
}

// Decodes a run list; false when it is malformed or holds a sparse run, which cannot be read as
// it lies.
bool readRuns(const std::uint8_t* p, const std::uint8_t* end, std::vector<NtfsRun>& runs) {
    std::int64_t lcn = 0;
    while (p < end && *p != 0) {
        const unsigned lengthBytes = *p & 0x0F;
        const unsigned offsetBytes = *p >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes == 0 || offsetBytes > 8 ||
            end - p < 1 + lengthBytes + offsetBytes || runs.size() >= kMostRuns) {
            return false;
        }
        std::uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i) {
            length |= std::uint64_t{p[1 + i]} << (8 * i);
        }
        std::uint64_t raw = 0;
        for (unsigned i = 0; i < offsetBytes; ++i) {
            raw |= std::uint64_t{p[1 + lengthBytes + i]} << (8 * i);
        }
        if (offsetBytes < 8 && (raw >> (8 * offsetBytes - 1) & 1) != 0) {
            raw |= ~std::uint64_t{0} << (8 * offsetBytes);
        }
        lcn += static_cast<std::int64_t>(raw);
        if (lcn < 0 || length == 0) {
            return false;
        }
        runs.push_back({static_cast<std::uint64_t>(lcn), length});
        p += 1 + lengthBytes + offsetBytes;
    }
    return p < end;
}

} // namespace

std::optional<std::size_t> mftRecordSize(const std::uint8_t* sector) {
    if (std::memcmp(sector, "FILE", 4) != 0) {
        return std::nullopt;
    }
    const std::size_t size = le32(sector + 0x1C);
    if (size < 1024 || size > 4096 || size % kStride != 0) {
        return std::nullopt;
    }
    return size;
}

std::optional<MftRecord> readMftRecord(std::span<std::uint8_t> r) {
    if (r.size() < 1024 || !applyFixups(r)) {
        return std::nullopt;
    }
    const std::uint8_t* base = r.data();
    const std::size_t used = std::min<std::size_t>(le32(base + 0x18), r.size());
    const std::uint16_t flags = le16(base + 0x16);
    MftRecord record;
    record.deleted = (flags & 1) == 0;
    record.folder = (flags & 2) != 0;
    if (le16(base + 4) >= 0x30) {
        record.number = le32(base + 0x2C);
    }
    bool named = false;
    std::uint8_t nameSpace = kDosNamespace;
    for (std::size_t at = le16(base + 0x14); at + 16 <= used;) {
        const std::uint8_t* a = base + at;
        const std::uint32_t type = le32(a);
        const std::size_t length = le32(a + 4);
        if (type == kEnd || length < 16 || length > used - at) {
            break;
        }
        at += length;
        const bool nonResident = a[8] != 0;
        const bool unnamed = a[9] == 0;
        if (!nonResident) {
            if (length < 0x18) {
                continue;
            }
            const std::size_t valueLength = le32(a + 0x10);
            const std::size_t valueOffset = le16(a + 0x14);
            if (valueOffset > length || valueLength > length - valueOffset) {
                continue;
            }
            const std::uint8_t* v = a + valueOffset;
            if (type == kStandardInformation && valueLength >= 0x10) {
                record.mtime = ntfsTime(le64(v + 8));
            } else if (type == kFileName && valueLength >= 0x42 &&
                       0x42 + 2 * std::size_t{v[0x40]} <= valueLength) {
                // The long name beats the 8.3 one.
                if (!named || (nameSpace == kDosNamespace && v[0x41] != kDosNamespace)) {
                    record.name = utf8FromUtf16(v + 0x42, v[0x40]);
                    record.parent = le64(v) & 0xFFFFFFFFFFFF;
                    nameSpace = v[0x41];
                    named = !record.name.empty();
                    if (!record.mtime) {
                        record.mtime = ntfsTime(le64(v + 0x10));
                    }
                }
            } else if (type == kData && unnamed && !record.hasData) {
                record.hasData = true;
                record.bytes = valueLength;
                record.resident.assign(v, v + valueLength);
            }
            continue;
        }
        if (type != kData || !unnamed || record.hasData || length < 0x40) {
            continue;
        }
        // Compressed or encrypted data, or a piece of a list that starts elsewhere, cannot be
        // read as it lies.
        const std::uint16_t dataFlags = le16(a + 0x0C);
        const std::size_t runsAt = le16(a + 0x20);
        if ((dataFlags & 0x40FF) != 0 || le64(a + 0x10) != 0 || runsAt >= length) {
            continue;
        }
        std::vector<NtfsRun> runs;
        if (readRuns(a + runsAt, a + length, runs)) {
            record.hasData = true;
            record.bytes = le64(a + 0x30);
            record.runs = std::move(runs);
        }
    }
    if (!named) {
        return std::nullopt;
    }
    return record;
}

} // namespace quarry::traces
