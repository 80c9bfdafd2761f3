#pragma once

#include "carving/scan.h"
#include "cli/console.h"
#include "results/picture_size.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quarry::results {
class TracedNaming;
class ValidatedSaver;
struct NamedFile;
struct SavedItem;
enum class FileCheck;
} // namespace quarry::results

namespace quarry::cli {

class ProgressDisplay;

// Items found, counted by the extension of their names in order of first appearance.
struct TypeTally {
    std::string type;
    std::uint64_t general = 0;
    std::uint64_t thorough = 0;
    std::string latest;
};

// What the command-line carver does with the scan's reports: a JSON event per item (with
// --json), a tally for the summary, the item saved to its real end (with --output), progress
// pass labels. When the destination fills up, saving stops and the items go on being reported.
// An item with unreadable sectors is never reported as whole: its event counts them.
class CarveSink final : public carving::ScanSink {
public:
    // `stopNow` is raised when the JSON stream can no longer be written: nobody would learn of
    // further items.
    CarveSink(std::ostream& out, Console& console, bool json, std::atomic<int>& stopNow)
        : out_(out), console_(console), json_(json), stopNow_(stopNow) {}

    void showProgress(ProgressDisplay* progress) { progress_ = progress; }
    void saveInto(results::ValidatedSaver* saver) { saver_ = saver; }
    // Items carved smaller than `minSize` bytes, and photos smaller than `minPixels`, are
    // reported as skipped and not saved.
    void setFilters(std::uint64_t minSize, std::optional<results::PictureSize> minPixels) {
        minSize_ = minSize;
        minPixels_ = minPixels;
    }
    // Saved items are remembered there, to be named from file-system traces after the scan.
    void nameWith(results::TracedNaming* naming) { naming_ = naming; }
    // After the scan: items moved under the names their traces give, or (`tracedOnly`) files
    // saved from their traces alone.
    void tracedFiles(const std::vector<results::NamedFile>& files, bool tracedOnly);

    void passStarted(carving::PassKind pass, const char* modeLabel) override;
    // Only saving and the filters need a photo's bytes.
    bool wantsPhotoBytes() const override { return saver_ != nullptr || minSize_ > 0 || minPixels_; }
    void photoItem(carving::PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                   const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                   std::uint64_t unreadableSectors) override;
    void rawItem(carving::PassKind pass, const std::string& name, const std::string& uid,
                 std::uint64_t startSector, std::uint64_t endSector,
                 std::uint64_t unreadableSectors) override;

    const std::vector<TypeTally>& tally() const { return tally_; }
    std::uint64_t itemsFound() const { return items_; }
    std::uint64_t itemsSaved() const { return saved_; }
    // Items by the outcome of their format check, saved or not.
    std::uint64_t itemsChecked(results::FileCheck check) const;
    // Items not saved again: copies of a file saved already, or parts of one.
    std::uint64_t itemsCopies() const { return copies_; }
    // Files saved, by the extension they were saved under, in order of first appearance.
    const std::vector<std::pair<std::string, std::uint64_t>>& savedTypes() const { return savedTypes_; }
    // Saved with unreadable sectors written as zeros.
    std::uint64_t itemsDamaged() const { return damaged_; }
    // Items not saved, for whatever reason (a full destination included).
    std::uint64_t saveFailures() const { return saveFailures_; }
    // Saved items given their original names; files saved from their traces alone.
    std::uint64_t itemsNamed() const { return named_; }
    std::uint64_t foundByName() const { return foundByName_; }

private:
    void itemFound(carving::PassKind pass, const std::string& name, const std::string& uid,
                   std::uint64_t start, std::uint64_t end, std::uint64_t unreadable,
                   const results::SavedItem* saved, const char* skipped = nullptr);
    // The filter that leaves the item out ("min-size", "min-pixels"), or null.
    const char* filteredOut(std::uint64_t bytes, const std::span<const std::uint8_t>* photo) const;
    void reportSave(const std::string& name, const results::SavedItem& saved);

    std::ostream& out_;
    Console& console_;
    bool json_;
    std::atomic<int>& stopNow_;
    ProgressDisplay* progress_ = nullptr;
    results::ValidatedSaver* saver_ = nullptr;
    std::uint64_t minSize_ = 0;
    std::optional<results::PictureSize> minPixels_;
    results::TracedNaming* naming_ = nullptr;
    std::uint64_t named_ = 0;
    std::uint64_t foundByName_ = 0;
    std::vector<TypeTally> tally_;
    std::uint64_t items_ = 0;
    std::uint64_t saved_ = 0;
    std::uint64_t checks_[3] = {};
    std::uint64_t copies_ = 0;
    std::vector<std::pair<std::string, std::uint64_t>> savedTypes_;
    std::uint64_t damaged_ = 0;
    std::uint64_t saveFailures_ = 0;
    bool fullReported_ = false;
};

} // namespace quarry::cli
