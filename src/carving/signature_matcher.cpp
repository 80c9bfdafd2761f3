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
    const auto end = pos + static_cast<std::int64_t>(sig.header.size());
    if (pos < 0 || pos > kLastNumberedStart || end > static_cast<std::int64_t>(kSectorSize)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(pos);
}

} // namespace

SignatureMatcher::SignatureMatcher(const signatures::SignatureList& list) : records_(compileList(list)) {
    buildBuckets();
    buildSameHeaderGroups();
}

void SignatureMatcher::buildBuckets() {
    std::array<std::vector<Candidate>, 256> buckets;
    for (std::size_t r = 0; r < records_.size(); ++r) {
        const auto pos = firstCheckPosition(records_[r]);
        if (!pos) {
            continue;
        }
        const Candidate candidate{*pos, static_cast<std::uint8_t>(records_[r].firstByte),
                                  static_cast<std::uint32_t>(r)};
        if (*pos == 0) {
            buckets[candidate.firstByte].push_back(candidate);
        } else {
            for (auto& bucket : buckets) {
                bucket.push_back(candidate);
            }
        }
    }
    for (std::size_t b = 0; b < buckets.size(); ++b) {
        bucketStart_[b] = static_cast<std::uint32_t>(candidates_.size());
        candidates_.insert(candidates_.end(), buckets[b].begin(), buckets[b].end());
    }
    bucketStart_[256] = static_cast<std::uint32_t>(candidates_.size());
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
