#include "carving/block_reader.h"
#include "carving/naming.h"
#include "carving/scan.h"
#include "carving/sector_loop.h"
#include "carving/signature_matcher.h"

#include <string>
#include <vector>

namespace quarry::carving {

namespace {

// The photo being collected and the numbering of one photo scan. Its sectors are collected in
// one item buffer, which keeps its capacity between items, when the sink wants them.
class PhotoCarver {
public:
    PhotoCarver(ScanSink& sink, PhotoCounters& counters)
        : sink_(sink), counters_(counters), collect_(sink.wantsPhotoBytes()) {}

    PassEnd runPass(PassKind pass, const SignatureMatcher& matcher, BlockReader& reader, ScanControl& control,
                    std::uint64_t first, std::uint64_t end, ScanResult& result) {
        pass_ = pass;
        const PassEnd passEnd = runMatchingPass(
            matcher, reader, control, first, end, result,
            [&](std::uint64_t s, std::size_t r) { startItem(s, matcher.record(r)); },
            [&](std::uint64_t, const std::uint8_t* sector, bool failed) { growOrClose(sector, failed); });
        // A photo collected in part is kept, whether the pass ended or was stopped.
        handOver();
        open_ = false;
        return passEnd;
    }

    void beginThoroughPass() {
        open_ = false;
        passCount_ = 0;
        item_.clear();
        itemSectors_ = 0;
        unreadable_ = 0;
        name_.clear();
        uid_.clear();
        collected_ = 0;
    }

private:
    void startItem(std::uint64_t s, const CompiledSignature& record) {
        if (passCount_ > 0 && !sizeClosed_) {
            handOver();
            open_ = false;
        }
        sizeClosed_ = false;
        open_ = true;
        ++passCount_;
        const bool thorough = pass_ == PassKind::Thorough;
        auto& counter = thorough ? counters_.THD_Image_number : counters_.GND_Image_number;
        const std::uint64_t lifetimeNumber = counter.fetch_add(1, std::memory_order_relaxed) + 1;
        name_ = Generate_File_Name(passCount_, thorough ? "THD" : "GND", record.extension, nullptr);
        uid_ = Generate_File_UID_Num(lifetimeNumber, thorough, record.extension);
        collected_ = 0;
        // The photo is bounded by the size of its own type, whatever records are tested later.
        limit_ = record.maxSize;
        itemFirst_ = s;
    }

    void growOrClose(const std::uint8_t* sector, bool failed) {
        if (!open_) {
            return;
        }
        collected_ += kSectorSize;
        if (collected_ < limit_) {
            if (collect_) {
                item_.insert(item_.end(), sector, sector + kSectorSize);
            }
            ++itemSectors_;
            unreadable_ += failed ? 1 : 0;
            return;
        }
        // The sector that reaches the limit is not part of the photo.
        collected_ = 0;
        sizeClosed_ = true;
        handOver();
        open_ = false;
    }

    void handOver() {
        if (itemSectors_ > 0) {
            sink_.photoItem(pass_, item_, name_, uid_, itemFirst_, itemFirst_ + itemSectors_, unreadable_);
        }
        item_.clear();
        itemSectors_ = 0;
        unreadable_ = 0;
    }

    ScanSink& sink_;
    PhotoCounters& counters_;
    PassKind pass_ = PassKind::General;
    const bool collect_;
    std::vector<std::uint8_t> item_;
    std::uint64_t itemSectors_ = 0;
    std::uint64_t unreadable_ = 0; // sectors of the item that read as zeros
    bool open_ = false;
    bool sizeClosed_ = false;
    std::uint64_t passCount_ = 0;
    std::uint64_t collected_ = 0;
    std::uint64_t limit_ = 0;
    std::uint64_t itemFirst_ = 0;
    std::string name_;
    std::string uid_;
};

} // namespace

ScanResult runPhotoScan(const ScanRequest& request, ScanControl& control, PhotoCounters& counters,
                        ScanSink& sink) {
    return runScanPasses(request, control, sink, request.start_sector,
                         [&] { return PhotoCarver(sink, counters); });
}

} // namespace quarry::carving
