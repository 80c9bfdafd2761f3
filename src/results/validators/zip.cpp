#include "results/validators/formats.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace quarry::results::validators {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kDataDescriptor = 0x08074B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kDigitalSignature = 0x05054B50;
constexpr std::uint32_t kArchiveExtraData = 0x08064B50;
constexpr std::uint32_t kZip64End = 0x06064B50;
constexpr std::uint32_t kZip64Locator = 0x07064B50;
constexpr std::uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr std::uint16_t kSizesFollowData = 0x0008;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kSizeInZip64 = 0xFFFFFFFF;
constexpr std::array<std::uint8_t, 2> kPk = {'P', 'K'};
constexpr std::array<std::uint8_t, 16> kApkSigningMagic = {'A', 'P', 'K', ' ', 'S', 'i', 'g', ' ',
                                                           'B', 'l', 'o', 'c', 'k', ' ', '4', '2'};

bool isHeaderAfterData(std::optional<std::uint32_t> signature) {
    return signature == kLocalHeader || signature == kCentralHeader || signature == kArchiveExtraData ||
           signature == kDigitalSignature || signature == kEndOfCentralDirectory;
}

// Compressed size stored in the zip64 extra field of a local header.
std::optional<std::uint64_t> zip64CompressedSize(ByteReader& in, std::uint64_t extra,
                                                 std::uint16_t extraBytes) {
    std::uint64_t at = extra;
    const std::uint64_t end = extra + extraBytes;
    while (at + 4 <= end) {
        const auto id = in.u16le(at);
        const auto length = in.u16le(at + 2);
        if (!id || !length) {
            return std::nullopt;
        }
        if (*id == kZip64ExtraId && *length >= 16) {
            return in.u64le(at + 12);
        }
        at += 4 + *length;
    }
    return std::nullopt;
}

// The descriptor after data whose size the local header did not know. Found by searching for a
// descriptor (or the header after an unsigned one) whose compressed size matches its distance from
// the data.
std::optional<std::uint64_t> findDescriptorEnd(ByteReader& in, std::uint64_t data) {
    std::uint64_t pos = data;
    for (;;) {
        const auto q = in.find(pos, in.size(), kPk);
        if (!q) {
            return std::nullopt;
        }
        const std::uint64_t distance = *q - data;
        const auto signature = in.u32le(*q);
        if (signature == kDataDescriptor) {
            if (in.u32le(*q + 8) == distance) {
                return *q + 16;
            }
            if (in.u64le(*q + 8) == distance) {
                return *q + 24;
            }
        } else if (isHeaderAfterData(signature)) {
            if (distance >= 12 && in.u32le(*q - 8) == distance - 12) {
                return *q;
            }
            if (distance >= 20 && in.u64le(*q - 16) == distance - 20) {
                return *q;
            }
        }
        pos = *q + 1;
    }
}

// The descriptor after data of known size: 12 or 20 bytes, 4 more with its optional signature.
std::optional<std::uint64_t> skipDescriptor(ByteReader& in, std::uint64_t after) {
    const std::uint64_t base = in.u32le(after) == kDataDescriptor ? 16 : 12;
    for (const std::uint64_t length : {base, base + 8}) {
        if (isHeaderAfterData(in.u32le(after + length))) {
            return after + length;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> afterLocalEntry(ByteReader& in, std::uint64_t pos) {
    const auto flags = in.u16le(pos + 6);
    const auto compressed = in.u32le(pos + 18);
    const auto nameBytes = in.u16le(pos + 26);
    const auto extraBytes = in.u16le(pos + 28);
    if (!flags || !compressed || !nameBytes || !extraBytes) {
        return std::nullopt;
    }
    const std::uint64_t extra = pos + 30 + *nameBytes;
    const std::uint64_t data = extra + *extraBytes;
    std::optional<std::uint64_t> dataBytes = *compressed;
    if (*compressed == kSizeInZip64) {
        dataBytes = zip64CompressedSize(in, extra, *extraBytes);
    }
    if (dataBytes && *dataBytes > in.size()) {
        return std::nullopt;
    }
    if ((*flags & kSizesFollowData) != 0) {
        return dataBytes && *dataBytes != 0 ? skipDescriptor(in, data + *dataBytes)
                                            : findDescriptorEnd(in, data);
    }
    if (!dataBytes) {
        return std::nullopt;
    }
    return data + *dataBytes;
}

std::string text(ByteReader& in, std::uint64_t at, std::uint16_t bytes) {
    std::string out(bytes, '\0');
    std::span<std::uint8_t> raw(reinterpret_cast<std::uint8_t*>(out.data()), out.size());
    return in.read(at, raw) ? out : std::string();
}

struct NamedType {
    std::string_view name; // a "mimetype" text, or the start of a member's path
    const char* type;
};

// OpenDocument and EPUB files name their type in a first member "mimetype", stored.
constexpr NamedType kMimeTypes[] = {
    {"application/vnd.oasis.opendocument.text", "ODT"},
    {"application/vnd.oasis.opendocument.text-template", "OTT"},
    {"application/vnd.oasis.opendocument.spreadsheet", "ODS"},
    {"application/vnd.oasis.opendocument.presentation", "ODP"},
    {"application/vnd.oasis.opendocument.graphics", "ODG"},
    {"application/epub+zip", "EPUB"},
};

// The other kinds are told by the folder of their main part.
constexpr NamedType kMemberTypes[] = {
    {"word/", "DOCX"},
    {"xl/", "XLSX"},
    {"ppt/", "PPTX"},
    {"AndroidManifest.xml", "APK"},
    {"META-INF/MANIFEST.MF", "JAR"},
};

constexpr std::size_t kMostMembersRead = 4096;

} // namespace

std::string zipType(ByteReader& in, std::uint64_t) {
    std::vector<std::string> names;
    std::uint64_t pos = 0;
    while (names.size() < kMostMembersRead && in.u32le(pos) == kLocalHeader) {
        const auto method = in.u16le(pos + 8);
        const auto compressed = in.u32le(pos + 18);
        const auto nameBytes = in.u16le(pos + 26);
        const auto extraBytes = in.u16le(pos + 28);
        if (!method || !compressed || !nameBytes || !extraBytes) {
            break;
        }
        names.push_back(text(in, pos + 30, *nameBytes));
        if (names.size() == 1 && names.front() == "mimetype" && *method == 0 && *compressed < 100) {
            const auto mime =
                text(in, pos + 30 + *nameBytes + *extraBytes, static_cast<std::uint16_t>(*compressed));
            for (const auto& known : kMimeTypes) {
                if (mime == known.name) {
                    return known.type;
                }
            }
        }
        const auto next = afterLocalEntry(in, pos);
        if (!next || *next <= pos) {
            break;
        }
        pos = *next;
    }
    for (const auto& known : kMemberTypes) {
        for (const auto& name : names) {
            if (name.starts_with(known.name)) {
                return known.type;
            }
        }
    }
    return "ZIP";
}

std::optional<std::uint64_t> zipEnd(ByteReader& in, std::uint64_t) {
    if (in.u32le(0) != kLocalHeader) {
        return std::nullopt;
    }
    std::uint64_t pos = 0;
    std::optional<std::uint64_t> centralStart;
    std::optional<std::uint64_t> zip64CentralOffset;
    std::uint64_t centralEntries = 0;
    for (;;) {
        const auto signature = in.u32le(pos);
        if (!signature) {
            return std::nullopt;
        }
        std::optional<std::uint64_t> next;
        switch (*signature) {
        case kLocalHeader:
            next = centralStart ? std::nullopt : afterLocalEntry(in, pos);
            break;
        case kCentralHeader: {
            const auto nameBytes = in.u16le(pos + 28);
            const auto extraBytes = in.u16le(pos + 30);
            const auto commentBytes = in.u16le(pos + 32);
            if (nameBytes && extraBytes && commentBytes) {
                centralStart = centralStart.value_or(pos);
                ++centralEntries;
                next = pos + 46 + *nameBytes + *extraBytes + *commentBytes;
            }
            break;
        }
        case kZip64End: {
            const auto recordBytes = in.u64le(pos + 4);
            zip64CentralOffset = in.u64le(pos + 48);
            if (recordBytes && *recordBytes <= in.size()) {
                next = pos + 12 + *recordBytes;
            }
            break;
        }
        case kZip64Locator:
            next = pos + 20;
            break;
        case kDigitalSignature:
            if (const auto bytes = in.u16le(pos + 4)) {
                next = pos + 6 + *bytes;
            }
            break;
        case kArchiveExtraData:
            if (const auto bytes = in.u32le(pos + 4)) {
                next = pos + 8 + *bytes;
            }
            break;
        case kEndOfCentralDirectory: {
            const auto totalEntries = in.u16le(pos + 10);
            const auto centralOffset = in.u32le(pos + 16);
            const auto commentBytes = in.u16le(pos + 20);
            if (!totalEntries || !centralOffset || !commentBytes) {
                return std::nullopt;
            }
            // The record must point back at the central directory just walked.
            const std::uint64_t expected = centralStart.value_or(pos);
            const bool offsetAgrees =
                *centralOffset == kSizeInZip64 ? zip64CentralOffset == expected : *centralOffset == expected;
            const bool countAgrees = *totalEntries == 0xFFFF || *totalEntries == (centralEntries & 0xFFFF);
            if (!offsetAgrees || !countAgrees) {
                return std::nullopt;
            }
            return pos + 22 + *commentBytes;
        }
        default: {
            // An APK signing block sits between the entries and the central directory.
            const auto blockBytes = in.u64le(pos);
            if (!centralStart && blockBytes && *blockBytes >= 24 && *blockBytes <= in.size() &&
                in.matches(pos + 8 + *blockBytes - kApkSigningMagic.size(), kApkSigningMagic)) {
                next = pos + 8 + *blockBytes;
            }
            break;
        }
        }
        if (!next || *next <= pos) {
            return std::nullopt;
        }
        pos = *next;
    }
}

} // namespace quarry::results::validators
