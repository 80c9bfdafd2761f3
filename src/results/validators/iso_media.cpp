#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint32_t fourCc(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3]));
}

constexpr std::uint32_t kFileType = fourCc("ftyp");
constexpr std::uint32_t kMovie = fourCc("moov");

// Boxes that may stand at the top level of an MP4, QuickTime, 3GP or HEIF file. Anything else there is
// the next file or leftover data, not part of this one.
constexpr std::array kTopLevel = {
    fourCc("ftyp"), fourCc("styp"), fourCc("moov"), fourCc("moof"), fourCc("mfra"), fourCc("mdat"),
    fourCc("meta"), fourCc("free"), fourCc("skip"), fourCc("wide"), fourCc("uuid"), fourCc("pdin"),
    fourCc("sidx"), fourCc("ssix"), fourCc("prft"), fourCc("emsg"), fourCc("pnot"), fourCc("PICT"),
    fourCc("junk"), fourCc("udta"), fourCc("bloc"), fourCc("idat")};

// Boxes an old QuickTime movie without a file-type box may begin with.
constexpr std::array kQuickTimeFirst = {fourCc("moov"), fourCc("mdat"), fourCc("wide"),
                                        fourCc("free"), fourCc("skip"), fourCc("pnot")};

// Boxes that index the media; a file with none of them cannot be played.
constexpr std::array kIndex = {fourCc("moov"), fourCc("moof"), fourCc("meta")};

template <std::size_t N> bool contains(const std::array<std::uint32_t, N>& list, std::uint32_t type) {
    return std::find(list.begin(), list.end(), type) != list.end();
}

struct BrandType {
    std::uint32_t brand;
    const char* type;
};

// Major brands and the extension their files go by.
constexpr BrandType kBrandTypes[] = {
    {fourCc("qt  "), "MOV"},  {fourCc("isom"), "MP4"},  {fourCc("iso2"), "MP4"},  {fourCc("iso4"), "MP4"},
    {fourCc("iso5"), "MP4"},  {fourCc("iso6"), "MP4"},  {fourCc("mp41"), "MP4"},  {fourCc("mp42"), "MP4"},
    {fourCc("avc1"), "MP4"},  {fourCc("dash"), "MP4"},  {fourCc("MSNV"), "MP4"},  {fourCc("XAVC"), "MP4"},
    {fourCc("mmp4"), "MP4"},  {fourCc("M4V "), "M4V"},  {fourCc("M4VH"), "M4V"},  {fourCc("M4VP"), "M4V"},
    {fourCc("M4A "), "M4A"},  {fourCc("M4B "), "M4B"},  {fourCc("f4v "), "F4V"},  {fourCc("crx "), "CR3"},
    {fourCc("heic"), "HEIC"}, {fourCc("heix"), "HEIC"}, {fourCc("hevc"), "HEIC"}, {fourCc("hevx"), "HEIC"},
    {fourCc("heim"), "HEIC"}, {fourCc("heis"), "HEIC"}, {fourCc("hevm"), "HEIC"}, {fourCc("hevs"), "HEIC"},
    {fourCc("mif1"), "HEIF"}, {fourCc("msf1"), "HEIF"}, {fourCc("avif"), "AVIF"}, {fourCc("avis"), "AVIF"},
};

} // namespace

std::string isoMediaType(ByteReader& in, std::uint64_t) {
    if (in.u32be(4) != kFileType) {
        // Only QuickTime movies go without a file-type box.
        return "MOV";
    }
    const auto brand = in.u32be(8);
    if (!brand) {
        return {};
    }
    if ((*brand >> 8) == (fourCc("3gp ") >> 8)) {
        return "3GP";
    }
    if ((*brand >> 8) == (fourCc("3g2 ") >> 8)) {
        return "3G2";
    }
    for (const auto& known : kBrandTypes) {
        if (known.brand == *brand) {
            return known.type;
        }
    }
    return {};
}

std::optional<std::uint64_t> isoMediaEnd(ByteReader& in, std::uint64_t itemBytes) {
    std::uint64_t pos = 0;
    bool indexed = false;
    bool sawMovie = false;
    for (;;) {
        const auto size = in.u32be(pos);
        const auto type = in.u32be(pos + 4);
        if (!size || !type || !contains(kTopLevel, *type) || (*type == kFileType && pos != 0) ||
            (*type == kMovie && sawMovie)) {
            break;
        }
        if (pos == 0 && *type != kFileType && !contains(kQuickTimeFirst, *type)) {
            return std::nullopt;
        }
        std::uint64_t header = 8;
        std::uint64_t boxBytes = *size;
        if (*size == 1) {
            const auto large = in.u64be(pos + 8);
            if (!large) {
                return std::nullopt;
            }
            header = 16;
            boxBytes = *large;
        } else if (*size == 0) {
            // The last box runs to the end of the file, which only the carved item bounds.
            return indexed ? std::optional(std::min(std::max(itemBytes, pos + header), in.size()))
                           : std::nullopt;
        }
        if (boxBytes < header || boxBytes > in.size() - pos) {
            return std::nullopt;
        }
        indexed = indexed || contains(kIndex, *type);
        sawMovie = sawMovie || *type == kMovie;
        pos += boxBytes;
    }
    return indexed && pos > 0 ? std::optional(pos) : std::nullopt;
}

} // namespace quarry::results::validators
