#pragma once

#include "carving/header_test.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quarry::carving {

// A signature list prepared for one scan. Finds the first record in list order whose
// header test matches a sector, trying only the records whose first compared byte fits
// the sector: records are grouped by the position of that byte and by the value it needs.
class SignatureMatcher {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    explicit SignatureMatcher(const signatures::SignatureList& list);

    std::size_t size() const { return records_.size(); }
    // The 64-byte lines of a sector that find() looks at first, as bits.
    std::uint8_t probedLines() const { return probedLines_; }
    const CompiledSignature& record(std::size_t index) const { return records_[index]; }

    // Index of the first matching record, or npos.
    std::size_t find(const std::uint8_t* sector512) const {
        // Walks the candidates of every probe in increasing record order; nearly always every
        // probe's bucket is empty and this is one byte lookup per probe.
        std::uint32_t next = 0;
        for (;;) {
            std::uint32_t best = kNone;
            for (const Probe& probe : probes_) {
                const std::uint8_t value = sector512[probe.position];
                for (std::uint32_t i = probe.bucketStart[value]; i < probe.bucketStart[value + 1u]; ++i) {
                    if (candidates_[i] >= next) {
                        best = std::min(best, candidates_[i]);
                        break;
                    }
                }
            }
            if (best == kNone) {
                return npos;
            }
            if (matchesHeader(records_[best], sector512)) {
                return best;
            }
            next = best + 1;
        }
    }

    // Record `index` and the records after it, in list order, that have the same header
    // and header position texts.
    std::span<const std::uint32_t> sameHeaderFrom(std::size_t index) const {
        return {sameHeader_.data() + sameHeaderFrom_[index], sameHeader_.data() + sameHeaderEnd_[index]};
    }

private:
    static constexpr std::uint32_t kNone = static_cast<std::uint32_t>(-1);

    // The records whose first comparison is at `position`, by the byte value they need there.
    struct Probe {
        std::uint16_t position = 0;
        std::array<std::uint32_t, 257> bucketStart{};
    };

    void buildProbes();
    void buildSameHeaderGroups();

    std::vector<CompiledSignature> records_;
    std::vector<Probe> probes_;
    std::vector<std::uint32_t> candidates_; // record indices, ascending within a bucket
    std::vector<std::uint32_t> sameHeader_;
    std::vector<std::uint32_t> sameHeaderFrom_;
    std::vector<std::uint32_t> sameHeaderEnd_;
    std::uint8_t probedLines_ = 0;
};

} // namespace quarry::carving
