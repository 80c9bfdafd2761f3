#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {0x7F, 'E', 'L', 'F'};
constexpr std::uint32_t kNoBits = 8; // a section that takes no room in the file

// Reads the header fields that differ between 32- and 64-bit files.
class ElfReader {
public:
    ElfReader(ByteReader& in, bool wide, bool bigEndian) : in_(in), wide_(wide), big_(bigEndian) {}

    std::optional<std::uint64_t> word(std::uint64_t offset) const {
        if (!wide_) {
            return in_.u32(offset, big_);
        }
        return big_ ? in_.u64be(offset) : in_.u64le(offset);
    }
    std::optional<std::uint64_t> half(std::uint64_t offset) const { return in_.u16(offset, big_); }
    std::optional<std::uint64_t> u32(std::uint64_t offset) const { return in_.u32(offset, big_); }
    bool wide() const { return wide_; }

private:
    ByteReader& in_;
    bool wide_;
    bool big_;
};

} // namespace

// Executables and libraries: the section and program header tables and everything they point to.
std::optional<std::uint64_t> elfEnd(ByteReader& in, std::uint64_t) {
    const auto fileClass = in.u8(4);
    const auto encoding = in.u8(5);
    if (!in.matches(0, kSignature) || (fileClass != 1 && fileClass != 2) ||
        (encoding != 1 && encoding != 2) || in.u8(6) != 1) {
        return std::nullopt;
    }
    const ElfReader elf(in, fileClass == 2, encoding == 2);
    const std::uint64_t w = elf.wide() ? 8 : 4;
    const auto programAt = elf.word(24 + w);
    const auto sectionAt = elf.word(24 + 2 * w);
    const auto programEntry = elf.half(24 + 3 * w + 6);
    const auto programs = elf.half(24 + 3 * w + 8);
    const auto sectionEntry = elf.half(24 + 3 * w + 10);
    const auto sections = elf.half(24 + 3 * w + 12);
    if (!programAt || !sectionAt || !programEntry || !programs || !sectionEntry || !sections ||
        *programAt > in.size() || *sectionAt > in.size()) {
        return std::nullopt;
    }
    std::uint64_t end = 24 + 3 * w + 16;
    if (*programs != 0) {
        end = std::max(end, *programAt + *programs * *programEntry);
    }
    if (*sections != 0) {
        end = std::max(end, *sectionAt + *sections * *sectionEntry);
    }
    for (std::uint64_t i = 0; i < *programs; ++i) {
        const std::uint64_t entry = *programAt + i * *programEntry;
        const auto offset = elf.word(entry + (elf.wide() ? 8 : 4));
        const auto bytes = elf.word(entry + (elf.wide() ? 32 : 16));
        if (!offset || !bytes || *offset > in.size() || *bytes > in.size()) {
            return std::nullopt;
        }
        end = std::max(end, *offset + *bytes);
    }
    for (std::uint64_t i = 0; i < *sections; ++i) {
        const std::uint64_t entry = *sectionAt + i * *sectionEntry;
        const auto type = elf.u32(entry + 4);
        const auto offset = elf.word(entry + (elf.wide() ? 24 : 16));
        const auto bytes = elf.word(entry + (elf.wide() ? 32 : 20));
        if (!type || !offset || !bytes || *offset > in.size() || *bytes > in.size()) {
            return std::nullopt;
        }
        if (*type != kNoBits) {
            end = std::max(end, *offset + *bytes);
        }
    }
    return end;
}

} // namespace quarry::results::validators
