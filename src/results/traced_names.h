#pragma once

#include "results/saver.h"
#include "traces/traced_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

struct SavedItem;

// Beside the folders named by extension, files whose names file-system traces give go into
// this folder, down the folder path the traces give: ".../Found by name/DCIM/100MEDIA/IMG_2034.JPG".
inline constexpr const char* kFoundByNameFolder = "Found by name";

// A file saved under the name its trace gives.
struct NamedFile {
    const traces::TracedFile* trace = nullptr;
    std::string itemName; // the found item's name; empty for a file known only from its trace
    SaveResult save;
};

// The trace's folder path as one text, "DCIM/100MEDIA".
std::string tracedPath(const traces::TracedFile& file);

// Seconds since 1970 as "2024-05-01T12:34:56Z".
std::string isoTime(std::int64_t seconds);

// Gives saved items the names, folders and dates their file-system traces give. A trace may
// be met later in the scan than the item it names, so this is done once the scan is over: an
// item saved under its generic name is then moved under its original one.
class TracedNaming {
public:
    explicit TracedNaming(ItemSaver& saver) : saver_(saver) {}

    // An item saved during the scan, its data from sector `start`.
    void remember(const std::string& name, std::uint64_t start, const SavedItem& item);

    // Moves every item remembered since the last call, when it is verified and its trace starts
    // at its sector and has its length.
    std::vector<NamedFile> nameSaved(const traces::TraceCatalog& traces);

    // Saves the traced files that no item named, from their extents on `medium` (an NTFS file
    // from every piece of its run list), `budget` bytes at most in all.
    std::vector<NamedFile> saveTracedOnly(const traces::TraceCatalog& traces, carving::SectorSource& medium,
                                          std::uint64_t budget);

private:
    struct Remembered {
        std::string name;
        std::uint64_t start;
        std::uint64_t bytes;
        std::filesystem::path path;
    };
    NamedFile place(const traces::TracedFile& file, std::string itemName, const SaveResult& saved);

    ItemSaver& saver_;
    std::vector<Remembered> saved_;
    std::vector<const traces::TracedFile*> named_;
};

} // namespace quarry::results
