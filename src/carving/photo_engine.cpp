#include "carving/block_reader.h"
#include "carving/naming.h"
#include "carving/scan.h"
#include "carving/sector_loop.h"
#include "carving/signature_matcher.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quarry::carving {

namespace {

// The photo being collected and the numbering of one photo scan. A photo whose sectors the
// source offers in place and all read well is handed over from the source without a copy;
// otherwise its sectors are collected in one item buffer, which keeps its capacity between
// items.
class PhotoCarver {
public:
    PhotoCarver(SectorSource& source, ScanSink& sink, PhotoCounters& counters)
        : source_(source), sink_(sink), counters_(counters) {}

    PassEnd runPass(PassKind pass, const SignatureMatcher& matcher, BlockReader& reader, ScanControl& control,
                    std::uint64_t first, std::uint64_t end, ScanResult& result) {
        pass_ = pass;
        PassEnd passEnd = PassEnd::Complete;
        if (matcher.size() == 0) {
            control.for_index.store(first, std::memory_order_relaxed);
        } else {
            reader.prefetchLines(matcher.probedLines());
            passEnd =
                runSectorLoop(reader, control, first, end, result,
                              [&](std::uint64_t s, const std::uint8_t* sector, bool blank, bool failed) {
                                  if (!blank) {
                                      const std::size_t r = matcher.find(sector);
                                      if (r != SignatureMatcher::npos) {
                                          startItem(s, matcher.record(r), reader.inPlace());
                                      }
                                  }
                                  growOrClose(sector, failed);
                              });
        }
        if (passEnd == PassEnd::Stopped) {
            control.stop_now.store(0);
        }
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
        name_.clear();
        uid_.clear();
        collected_ = 0;
    }

private:
    void startItem(std::uint64_t s, const CompiledSignature& record, bool inPlace) {
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
        inSource_ = inPlace;
    }

    void growOrClose(const std::uint8_t* sector, bool failed) {
        if (!open_) {
            return;
        }
        collected_ += kSectorSize;
        if (collected_ < limit_) {
            if (inSource_ && failed) {
                // The source would not give this sector's zeros back: collect from here on.
                fetchItem();
            }
            if (!inSource_) {
                item_.insert(item_.end(), sector, sector + kSectorSize);
            }
            ++itemSectors_;
            return;
        }
        // The sector that reaches the limit is not part of the photo.
        collected_ = 0;
        sizeClosed_ = true;
        handOver();
        open_ = false;
    }

    void handOver() {
        if (itemSectors_ > 0 && inSource_) {
            if (const auto view = source_.mapSectors(itemFirst_, static_cast<std::size_t>(itemSectors_))) {
                sink_.photoItem(pass_, {view->data(), itemSectors_ * kSectorSize}, name_, uid_, itemFirst_,
                                itemFirst_ + itemSectors_);
                itemSectors_ = 0;
                return;
            }
            fetchItem();
        }
        if (itemSectors_ > 0) {
            sink_.photoItem(pass_, item_, name_, uid_, itemFirst_, itemFirst_ + itemSectors_);
        }
        item_.clear();
        itemSectors_ = 0;
    }

    // Moves the photo's sectors so far, all read well, from the source into the item buffer.
    void fetchItem() {
        inSource_ = false;
        item_.resize(itemSectors_ * kSectorSize);
        if (itemSectors_ == 0) {
            return;
        }
        if (const auto view = source_.mapSectors(itemFirst_, static_cast<std::size_t>(itemSectors_))) {
            std::copy_n(view->data(), item_.size(), item_.begin());
            return;
        }
        if (source_.readSectors(itemFirst_, static_cast<std::size_t>(itemSectors_), item_.data())) {
            return;
        }
        // Read again one by one; a sector that now fails is zeros, as in the scan.
        for (std::uint64_t k = 0; k < itemSectors_; ++k) {
            std::uint8_t* slot = item_.data() + k * kSectorSize;
            if (!source_.readSectors(itemFirst_ + k, 1, slot)) {
                std::fill_n(slot, kSectorSize, std::uint8_t{0});
            }
        }
    }

    SectorSource& source_;
    ScanSink& sink_;
    PhotoCounters& counters_;
    PassKind pass_ = PassKind::General;
    std::vector<std::uint8_t> item_;
    std::uint64_t itemSectors_ = 0;
    bool inSource_ = false; // the photo's sectors are still only in the source
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

ScanResult runPhotoScan(const PhotoScanRequest& request, ScanControl& control, PhotoCounters& counters,
                        ScanSink& sink) {
    return runScanPasses(request, control, sink, request.start_sector,
                         [&](SectorSource& source) { return PhotoCarver(source, sink, counters); });
}

} // namespace quarry::carving
