#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

enum class SearchKind { Photo, Video, File };

// "Photo Search", "Video Search" or "File Search".
const char* searchFolderName(SearchKind kind);

// <destination>/Quarry (Vez) Results/<search>/General Recovery Results
std::filesystem::path resultsFolder(const std::filesystem::path& destination, SearchKind kind);

// Names come from definition files, so they may hold anything: '/' and NUL become '_', and a
// component that is empty, "." or ".." is replaced, so a name can never leave its folder.
std::string safePathComponent(std::string_view name);

// The text after the last '.' of an item's name; empty when it has none.
std::string_view itemExtension(std::string_view name);

// The alternative for a taken name: "GND00001 (2).JPG" for n = 2.
std::string numberedName(std::string_view name, unsigned n);

struct SaveResult {
    bool ok = false;
    std::filesystem::path path;          // where the item was saved
    std::string error;                   // why it was not
    std::uint64_t unreadableSectors = 0; // written as zeros
};

// Saves found items below the results folder, in a folder per extension. A file is never
// overwritten: a taken name gets " (2)", " (3)"… before its extension. Each file is written
// under a temporary name and renamed when complete, so a partial file never looks whole.
class ItemSaver {
public:
    ItemSaver(const std::filesystem::path& destination, SearchKind kind);

    const std::filesystem::path& folder() const { return folder_; }

    SaveResult saveBytes(std::string_view name, std::span<const std::uint8_t> bytes);

    // Copies sectors [start, end) of `source`. Sectors that cannot be read are written as
    // zeros, as the engines see them, and counted in the result.
    SaveResult saveSectors(std::string_view name, carving::SectorSource& source, std::uint64_t start,
                           std::uint64_t end);

private:
    std::filesystem::path folder_;
};

} // namespace quarry::results
