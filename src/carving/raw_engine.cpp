#include "carving/block_reader.h"
#include "carving/found_groups.h"
#include "carving/naming.h"
#include "carving/scan.h"
#include "carving/sector_loop.h"
#include "carving/signature_matcher.h"
#include "common/utf8_text.h"

#include <string>
#include <vector>

namespace quarry::carving {

namespace {

// Every raw item ends at this many bytes (36864 sectors), whatever its record says.
constexpr std::uint64_t kRawItemLimit = 18874368;

// The files being carved by one raw scan: only their names and shared sector range.
class RawCarver {
public:
    RawCarver(ScanSink& sink, FoundFileGroups& groups) : sink_(sink), groups_(groups) {}

    PassEnd runPass(PassKind pass, const SignatureMatcher& matcher, BlockReader& reader, ScanControl& control,
                    std::uint64_t first, std::uint64_t end, ScanResult& result) {
        pass_ = pass;
        const PassEnd passEnd = runMatchingPass(
            matcher, reader, control, first, end, result,
            [&](std::uint64_t s, std::size_t r) { openItems(matcher, r, s); },
            [&](std::uint64_t s, const std::uint8_t*, bool failed) { count(s + 1, failed); });
        if (passEnd == PassEnd::Stopped) {
            carving_ = false;
        }
        handOverAll(control.for_index.load(std::memory_order_relaxed));
        return passEnd;
    }

    void beginThoroughPass() {
        carving_ = false;
        passCount_ = 0;
        collected_ = 0;
        headerFound_ = false;
    }

private:
    // A header of record r in sector s: what was open ends with this sector, and every
    // record from r on with the same header and position opens an item here.
    void openItems(const SignatureMatcher& matcher, std::size_t r, std::uint64_t s) {
        if (carving_) {
            handOverAll(s + 1);
        }
        headerFound_ = true;
        collected_ += kSectorSize;
        for (const std::uint32_t q : matcher.sameHeaderFrom(r)) {
            const std::string& extension = matcher.record(q).extension;
            itemStart_ = s;
            ++passCount_;
            names_.push_back(Generate_File_Name(passCount_, extension, extension, &groups_));
        }
    }

    void count(std::uint64_t forIndex, bool failed) {
        if (headerFound_) {
            carving_ = true;
        }
        if (!carving_) {
            return;
        }
        unreadable_ += failed && !names_.empty() ? 1 : 0;
        if (!headerFound_) {
            collected_ += kSectorSize;
        }
        // All open items share the count and the limit, so they close together.
        if (!names_.empty() && kRawItemLimit <= collected_) {
            handOverAll(forIndex);
        }
        headerFound_ = false;
        if (names_.empty()) {
            collected_ = 0;
            itemStart_ = 0;
        }
    }

    void handOverAll(std::uint64_t endSector) {
        for (const std::string& name : names_) {
            const std::string trimmed(utf8::trim(name));
            if (trimmed.empty()) {
                continue;
            }
            groups_.countItem(trimmed);
            sink_.rawItem(pass_, trimmed, name, itemStart_, endSector, unreadable_);
        }
        names_.clear();
        unreadable_ = 0;
        collected_ = 0;
        itemStart_ = 0;
    }

    ScanSink& sink_;
    FoundFileGroups& groups_;
    PassKind pass_ = PassKind::General;
    std::vector<std::string> names_; // open items, in list order
    bool carving_ = false;
    bool headerFound_ = false;
    std::uint64_t itemStart_ = 0;
    std::uint64_t unreadable_ = 0; // sectors of the open items that read as zeros
    std::uint64_t collected_ = 0;
    std::uint64_t passCount_ = 0;
};

} // namespace

ScanResult runRawScan(const ScanRequest& request, ScanControl& control, FoundFileGroups& groups,
                      ScanSink& sink) {
    // The raw engine's progress counts from 0 until a pass positions the medium.
    return runScanPasses(request, control, sink, 0, [&] { return RawCarver(sink, groups); });
}

} // namespace quarry::carving
