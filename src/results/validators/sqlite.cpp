#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 16> kSignature = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                                     'o', 'r', 'm', 'a', 't', ' ', '3', 0};

} // namespace

std::optional<std::uint64_t> sqliteEnd(ByteReader& in, std::uint64_t) {
    const auto pageSizeField = in.u16be(16);
    const auto changeCounter = in.u32be(24);
    const auto pageCount = in.u32be(28);
    const auto validFor = in.u32be(92);
    if (!in.matches(0, kSignature) || !pageSizeField || !changeCounter || !pageCount || !validFor) {
        return std::nullopt;
    }
    const std::uint64_t pageSize = *pageSizeField == 1 ? 65536 : *pageSizeField;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) {
        return std::nullopt;
    }
    // The page count is only kept up to date by writers that also copy the change counter into the
    // version-valid-for field; older ones leave it stale.
    if (*pageCount == 0 || *validFor != *changeCounter) {
        return std::nullopt;
    }
    return pageSize * *pageCount;
}

} // namespace quarry::results::validators
