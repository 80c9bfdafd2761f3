// Both engines on a small in-memory medium with a small definition list, both fuzzed.
// Input: one flag byte, two bytes of definition length (little-endian), the definition text,
// then the medium.
#include "carving/found_groups.h"
#include "carving/memory_source.h"
#include "carving/scan.h"
#include "common/utf8_text.h"
#include "signatures/checklist.h"
#include "signatures/definition_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace quarry;

namespace {

constexpr std::size_t kMostSectors = 64;

// The text as a list of fields, one a line, as a list that skipped the parser would be.
signatures::SignatureList rawFields(std::string_view text) {
    signatures::SignatureList list;
    std::size_t start = 0;
    while (start <= text.size() && list.size() < 7 * 16) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        list.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

class CheckingSink final : public carving::ScanSink {
public:
    explicit CheckingSink(std::uint64_t sectors) : sectors_(sectors) {}
    void photoItem(carving::PassKind, std::span<const std::uint8_t> bytes, const std::string&,
                   const std::string&, std::uint64_t first, std::uint64_t end,
                   std::uint64_t unreadable) override {
        check(first, end, unreadable);
        if (bytes.empty() || bytes.size() > (end - first) * kSectorSize) {
            std::abort();
        }
    }
    void rawItem(carving::PassKind, const std::string&, const std::string&, std::uint64_t first,
                 std::uint64_t end, std::uint64_t unreadable) override {
        check(first, end, unreadable);
    }

private:
    void check(std::uint64_t first, std::uint64_t end, std::uint64_t unreadable) const {
        if (first > end || end > sectors_ || unreadable > end - first) {
            std::abort();
        }
    }
    std::uint64_t sectors_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const std::size_t textSize = std::min<std::size_t>(data[1] | std::size_t{data[2]} << 8, size - 3);
    const std::string_view text(reinterpret_cast<const char*>(data + 3), textSize);
    const std::uint8_t* mediumBytes = data + 3 + textSize;
    const std::size_t mediumSize = std::min(size - 3 - textSize, kMostSectors * kSectorSize);

    signatures::SignatureList general;
    signatures::SignatureList thorough;
    if (flags & 4) {
        general = rawFields(text);
        thorough = general;
    } else {
        if (!utf8::isValid(text)) {
            return 0;
        }
        signatures::ParseState state;
        const std::size_t half = text.find("\n\n\n");
        signatures::parseDefinitionText(text.substr(0, half), general, state);
        if (half != std::string_view::npos) {
            signatures::parseDefinitionText(text.substr(half), thorough, state);
        }
    }

    carving::MemorySource medium(std::vector<std::uint8_t>(mediumBytes, mediumBytes + mediumSize));
    const std::uint64_t sectors = medium.sectorCount();
    CheckingSink sink(sectors);
    carving::ScanControl control;
    const bool thoroughPass = flags & 1;
    const std::size_t blockSectors = 1 + ((flags >> 3) & 7);
    if (flags & 2) {
        carving::PhotoCounters counters;
        const carving::ScanRequest request{&medium,      0,           sectors, &general, &thorough,
                                           thoroughPass, blockSectors};
        (void)carving::runPhotoScan(request, control, counters, sink);
    } else {
        carving::FoundFileGroups groups;
        auto rows = signatures::buildCheckList(general, thorough, true);
        const auto lists = carving::confirmCheckList(rows, general, thorough, thoroughPass, groups);
        const carving::ScanRequest request{&medium,
                                           0,
                                           sectors,
                                           &lists.CheckListHeader_Array,
                                           &lists.CheckListHeader_Adv_Array,
                                           thoroughPass,
                                           blockSectors};
        (void)carving::runRawScan(request, control, groups, sink);
    }
    return 0;
}
