#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kPeSignature = {'P', 'E', 0, 0};
constexpr std::uint64_t kNewHeaderPointer = 0x3C;
// The DOS stub in front of the PE header is short; a pointer further than this is not believed.
constexpr std::uint32_t kMaxStubBytes = 1U << 20;
constexpr std::uint64_t kCoffBytes = 20;
constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint64_t kSectionBytes = 40;
constexpr std::uint64_t kSymbolBytes = 18;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::uint32_t kMaxFileAlignment = 64 * 1024;
constexpr std::uint32_t kCertificateDirectory = 4;

// Where the data directories and their count stand in the two kinds of optional header.
struct OptionalHeader {
    std::uint64_t directoryCountAt;
    std::uint64_t directoriesAt;
};

constexpr OptionalHeader kPe32Layout{92, 96};
constexpr OptionalHeader kPe32PlusLayout{108, 112};

} // namespace

// Windows executables and libraries: an MZ header whose pointer leads to "PE\0\0", a COFF header and
// an optional header of the size it states. The file ends with the furthest of the section data, the
// COFF symbol and string tables and the certificate table, which signed files append.
std::optional<std::uint64_t> peEnd(ByteReader& in, std::uint64_t) {
    const auto stubEnd = in.u32le(kNewHeaderPointer);
    if (in.u16le(0) != 0x5A4D || !stubEnd || *stubEnd < kNewHeaderPointer + 4 || *stubEnd > kMaxStubBytes ||
        !in.matches(*stubEnd, kPeSignature)) {
        return std::nullopt;
    }
    const std::uint64_t coff = *stubEnd + 4;
    const auto sections = in.u16le(coff + 2);
    const auto symbols = in.u32le(coff + 8);
    const auto symbolCount = in.u32le(coff + 12);
    const auto optionalBytes = in.u16le(coff + 16);
    const std::uint64_t optional = coff + kCoffBytes;
    const auto magic = in.u16le(optional);
    if (!sections || *sections == 0 || *sections > kMaxSections || !symbols || !symbolCount ||
        !optionalBytes || (magic != kPe32 && magic != kPe32Plus)) {
        return std::nullopt;
    }
    const OptionalHeader& layout = magic == kPe32 ? kPe32Layout : kPe32PlusLayout;
    const auto fileAlignment = in.u32le(optional + 36);
    const auto headerBytes = in.u32le(optional + 60);
    const auto directories = in.u32le(optional + layout.directoryCountAt);
    if (*optionalBytes < layout.directoriesAt || !fileAlignment || *fileAlignment == 0 ||
        *fileAlignment > kMaxFileAlignment || (*fileAlignment & (*fileAlignment - 1)) != 0 || !headerBytes ||
        !directories ||
        *optionalBytes < layout.directoriesAt + 8ULL * std::min<std::uint32_t>(*directories, 16)) {
        return std::nullopt;
    }
    const std::uint64_t table = optional + *optionalBytes;
    std::uint64_t end = std::max<std::uint64_t>(*headerBytes, table + kSectionBytes * *sections);
    for (std::uint16_t i = 0; i < *sections; ++i) {
        const std::uint64_t section = table + kSectionBytes * i;
        const auto rawBytes = in.u32le(section + 16);
        const auto rawAt = in.u32le(section + 20);
        if (!rawBytes || !rawAt) {
            return std::nullopt;
        }
        if (*rawBytes != 0) {
            end = std::max(end, static_cast<std::uint64_t>(*rawAt) + *rawBytes);
        }
    }
    if (*symbols != 0 && *symbolCount != 0) {
        // The string table follows the symbols and starts with its own size.
        const std::uint64_t strings = *symbols + kSymbolBytes * *symbolCount;
        const auto stringBytes = in.u32le(strings);
        if (!stringBytes || *stringBytes < 4) {
            return std::nullopt;
        }
        end = std::max(end, strings + *stringBytes);
    }
    if (*directories > kCertificateDirectory) {
        // Unlike the other directories, this one holds a file offset, not a memory address.
        const std::uint64_t entry = optional + layout.directoriesAt + 8ULL * kCertificateDirectory;
        const auto at = in.u32le(entry);
        const auto bytes = in.u32le(entry + 4);
        if (!at || !bytes) {
            return std::nullopt;
        }
        if (*at != 0 && *bytes != 0) {
            end = std::max(end, static_cast<std::uint64_t>(*at) + *bytes);
        }
    }
    return end;
}

} // namespace quarry::results::validators
