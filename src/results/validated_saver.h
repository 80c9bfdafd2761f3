#pragma once

#include "results/fragments/bifragment_search.h"
#include "results/saver.h"
#include "results/validators.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// Longest file a container's own length may carry past its carved item.
inline constexpr std::uint64_t kLongestValidatedFile = 4ULL << 30;

// Rejected items kept on request go into this folder beside the type folders.
inline constexpr const char* kRejectedFolder = "Unverified";

// What the format check said of an item: its structure holds (saved at its real extent), its
// format has no check (saved with its carved sectors), or the check failed (not saved unless
// asked for, and then into kRejectedFolder).
enum class FileCheck { Verified, Unverified, Rejected };

// "verified", "unverified" or "rejected".
const char* fileCheckName(FileCheck check);

// The extents on the medium of the files saved from one scan, so that no file is saved twice:
// not when both passes find it, not when two records share its header.
class SavedExtents {
public:
    struct Earlier {
        std::string name;
        bool sameExtent; // else a verified file that holds this one
    };

    // The earlier file saved with exactly this extent, else a verified one that holds it: all
    // of it when `whole` (the extent is the file's real one), else its first sector (a carved
    // extent runs on to the next header).
    std::optional<Earlier> find(std::uint64_t firstSector, std::uint64_t bytes, bool whole = true) const;
    void add(std::uint64_t firstSector, std::uint64_t bytes, bool verified, std::string name);
    void clear() { byStart_.clear(); }

private:
    struct Extent {
        std::uint64_t bytes;
        bool verified;
        std::string name;
    };
    std::multimap<std::uint64_t, Extent> byStart_;
};

struct SavedItem {
    SaveResult save;
    FileCheck check = FileCheck::Unverified;
    // The extension the file goes by: its real type when its container is shared by several
    // types, else the item's own.
    std::string type;
    std::string duplicateOf; // an earlier item saved with the same extent
    std::string partOf;      // an earlier verified file whose extent holds this item
    // Not saved on purpose (a copy, part of another file, or rejected), which is no failure.
    bool skipped = false;
    // A JPEG whose check failed is looked for in two pieces: the joins decoded, and the pieces
    // of the file saved (0 when none was).
    std::uint32_t fragmentCandidates = 0;
    std::size_t pieces = 0;
};

// What a file-system trace tells of the file that starts at a sector.
using FragmentHints = std::function<fragments::FragmentHint(std::uint64_t firstSector)>;

// Saves found items as whole files: every item goes through its format's check first; a
// verified item is saved up to its real end under its real type, an unverified one as it was
// carved, a rejected one only when asked to keep them. An extent saved already is not saved
// again.
class ValidatedSaver {
public:
    // `source` is a read-only handle of the scanned medium of its own (so the scan's reads stay
    // sequential); without it, items are saved from their bytes only. `saved` is shared by every
    // saver of one scan.
    ValidatedSaver(ItemSaver& saver, carving::SectorSource* source, SavedExtents& saved,
                   bool keepRejected = false)
        : saver_(saver), source_(source), saved_(saved), keepRejected_(keepRejected) {}

    ItemSaver& saver() { return saver_; }

    // The size and cluster size that traces of the file system give a file; without them the
    // search for a JPEG's second piece tries the usual cluster sizes.
    void setFragmentHints(FragmentHints hints) { hints_ = std::move(hints); }

    // A photo item, from its bytes, which begin at sector `firstSector`; `unreadableSectors` of
    // them read as zeros in the scan. A photo whose item was cut short (by a picture embedded
    // in it that starts on a sector boundary, or by its record's size limit) is measured again
    // on the medium, like a sector item; so is a damaged one, so that the sectors counted are
    // exactly those of the saved file.
    SavedItem savePhoto(std::string_view name, std::span<const std::uint8_t> bytes, std::uint64_t firstSector,
                        std::uint64_t unreadableSectors = 0);

    // A video or raw-file item, sectors [start, end): the validator reads the medium from
    // `start`, past `end` if the file says so, up to the medium's end or
    // kLongestValidatedFile.
    SavedItem saveSectors(std::string_view name, std::uint64_t start, std::uint64_t end);

private:
    FileEnd measureOnMedium(std::string_view name, std::uint64_t start, std::uint64_t itemBytes);
    // Settles the check, the name and copies; true when the item is to be written.
    bool prepare(SavedItem& item, std::string_view name, const FileEnd& end, std::uint64_t start,
                 std::uint64_t bytes);
    void remember(const SavedItem& item, std::string_view name, std::uint64_t start, std::uint64_t bytes);
    // A JPEG whose check failed, saved joined from two pieces when a join decodes; true when
    // the item is settled so (saved, or a copy of a file saved already).
    bool saveJoined(SavedItem& item, std::string_view name, std::uint64_t start);

    ItemSaver& saver_;
    carving::SectorSource* source_;
    SavedExtents& saved_;
    bool keepRejected_;
    FragmentHints hints_;
};

// The name a verified file is saved under: the item's name with its real type as extension.
std::string nameForType(std::string_view name, std::string_view type);

// A photo's whole file, read from the medium, when its item holds only the start of it (cut
// short by a picture inside it or by its size limit); nothing when the item holds the whole
// file, the structure does not hold, or the file is longer than `maxBytes`.
std::optional<std::vector<std::uint8_t>>
wholePhotoFromMedium(std::string_view name, std::span<const std::uint8_t> bytes, std::uint64_t firstSector,
                     carving::SectorSource& source, std::uint64_t maxBytes);

} // namespace quarry::results
