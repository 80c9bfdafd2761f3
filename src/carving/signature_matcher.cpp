#include "carving/signature_matcher.h"

#include "common/sector.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace quarry::carving {

namespace {

// The byte where the first comparison of `sig` happens, when the record can match at all:
// it must hold the first-byte value, and that value must be the header's first byte.
std::optional<std::uint16_t> firstCheckPosition(const CompiledSignature& sig) {
    if (sig.header.empty() || sig.firstByte < 0 || sig.firstByte > 255 || sig.header[0] != sig.firstByte) {
        return std::nullopt;
    }
    std::int64_t pos = 0;
    if (sig.position == HeaderPosition::Offset) {
        pos = sig.offset;
    }
    // The start is checked first: a position near the 64-bit limit would overflow the end.
    if (pos < 0 || pos > kLastNumberedStart ||
        pos + static_cast<std::int64_t>(sig.header.size()) > static_cast<std::int64_t>(kSectorSize)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(pos);
}

} // namespace

SignatureMatcher::SignatureMatcher(const signatures::SignatureList& list) : records_(compileList(list)) {
    buildProbes();
    buildSameHeaderGroups();
}

void SignatureMatcher::buildProbes() {
    std::map<std::uint16_t, std::array<std::vector<std::uint32_t>, 256>> byPosition;
    for (std::size_t r = 0; r < records_.size(); ++r) {
        if (const auto pos = firstCheckPosition(records_[r])) {
            byPosition[*pos][static_cast<std::size_t>(records_[r].firstByte)].push_back(
                static_cast<std::uint32_t>(r));
        }
    }
    for (const auto& [position, buckets] : byPosition) {
        Probe probe;
        probe.position = position;
        probedLines_ = static_cast<std::uint8_t>(probedLines_ | 1u << (position / 64));
        for (std::size_t b = 0; b < buckets.size(); ++b) {
            probe.bucketStart[b] = static_cast<std::uint32_t>(candidates_.size());
            candidates_.insert(candidates_.end(), buckets[b].begin(), buckets[b].end());
        }
        probe.bucketStart[256] = static_cast<std::uint32_t>(candidates_.size());
        probes_.push_back(probe);
    }
}

void SignatureMatcher::buildSameHeaderGroups() {
    std::map<std::pair<std::string, std::string>, std::vector<std::uint32_t>> groups;
    for (std::size_t r = 0; r < records_.size(); ++r) {
        groups[{records_[r].headerText, records_[r].positionText}].push_back(static_cast<std::uint32_t>(r));
    }
    sameHeaderFrom_.resize(records_.size());
    sameHeaderEnd_.resize(records_.size());
    for (const auto& [key, members] : groups) {
        const auto start = static_cast<std::uint32_t>(sameHeader_.size());
        sameHeader_.insert(sameHeader_.end(), members.begin(), members.end());
        const auto end = static_cast<std::uint32_t>(sameHeader_.size());
        for (std::uint32_t k = 0; k < members.size(); ++k) {
            sameHeaderFrom_[members[k]] = start + k;
            sameHeaderEnd_[members[k]] = end;
        }
    }
}

} // namespace quarry::carving
