#pragma once

#include "carving/header_test.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quarry::carving {

// A signature list prepared for one scan. Finds the first record in list order whose
// header test matches a sector, trying only the records whose first compared byte fits
// the sector.
class SignatureMatcher {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    explicit SignatureMatcher(const signatures::SignatureList& list);

    std::size_t size() const { return records_.size(); }
    const CompiledSignature& record(std::size_t index) const { return records_[index]; }

    // Index of the first matching record, or npos.
    std::size_t find(const std::uint8_t* sector512) const {
        const std::uint8_t first = sector512[0];
        for (std::uint32_t i = bucketStart_[first]; i < bucketStart_[first + 1u]; ++i) {
            const Candidate& c = candidates_[i];
            if (sector512[c.checkPos] == c.firstByte && matchesHeader(records_[c.record], sector512)) {
                return c.record;
            }
        }
        return npos;
    }

    // Record `index` and the records after it, in list order, that have the same header
    // and header position texts.
    std::span<const std::uint32_t> sameHeaderFrom(std::size_t index) const {
        return {sameHeader_.data() + sameHeaderFrom_[index], sameHeader_.data() + sameHeaderEnd_[index]};
    }

private:
    struct Candidate {
        std::uint16_t checkPos;
        std::uint8_t firstByte;
        std::uint32_t record;
    };

    void buildBuckets();
    void buildSameHeaderGroups();

    std::vector<CompiledSignature> records_;
    std::array<std::uint32_t, 257> bucketStart_{};
    std::vector<Candidate> candidates_;
    std::vector<std::uint32_t> sameHeader_;
    std::vector<std::uint32_t> sameHeaderFrom_;
    std::vector<std::uint32_t> sameHeaderEnd_;
};

} // namespace quarry::carving
