#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

class PartialFile;

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

// Shown when the destination runs out of space: saving stops, the scan goes on.
inline constexpr const char* kDestinationFullAlert =
    "\nThe destination disk is full. Saving has stopped; the files saved so far are kept and the scan goes "
    "on.";

// Room left free on the destination beside each saved file, for the file system's own records.
inline constexpr std::uint64_t kFreeSpaceMargin = 1024 * 1024;

struct SaveResult {
    bool ok = false;
    bool destinationFull = false;        // not saved because the destination has no room left
    std::filesystem::path path;          // where the item was saved
    std::uint64_t bytes = 0;             // the saved file's size
    std::string error;                   // why it was not
    std::uint64_t unreadableSectors = 0; // written as zeros
    bool stopped = false;                // abandoned on a stop request; nothing was kept
};

// The calls through which the saver meets the destination's file system, so that tests can
// run it out of space.
class SaveFileSystem {
public:
    virtual ~SaveFileSystem() = default;
    // Bytes that may still be written on the file system holding `folder`; nothing if unknown.
    virtual std::optional<std::uint64_t> availableBytes(const std::filesystem::path& folder) = 0;
    // As write(2): bytes written, or -1 with errno set.
    virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;
};

// statvfs and write.
SaveFileSystem& systemFileSystem();

// Saves found items below the results folder, in a folder per extension. The folders below the
// destination are made and entered without following symbolic links, so a link planted there
// cannot send files elsewhere. A file is never overwritten: a taken name gets " (2)", " (3)"…
// before its extension. Each file is written under a temporary name, its data flushed to the
// disk, then renamed when complete and the rename flushed too, so a partial file never looks
// whole, even after a power cut.
// Before each file the destination must have room for it plus kFreeSpaceMargin; once it has
// none (or a write fails for want of space) the saver stops: that item and every later one
// come back with `destinationFull` set, and the partial file is removed.
class ItemSaver {
public:
    ItemSaver(const std::filesystem::path& destination, SearchKind kind,
              SaveFileSystem& fileSystem = systemFileSystem());

    const std::filesystem::path& folder() const { return folder_; }
    bool destinationFull() const { return full_; }

    // Before a scan: makes the results folder, removes the partial files that killed runs left
    // in it, and proves that a file can be written there. Empty, or why saving cannot work.
    std::string prepareDestination();

    // Asked between the blocks of a copy from a source (an item can be gigabytes long): once it
    // returns true, the copy is abandoned and its partial file removed.
    void setStopRequest(std::function<bool()> stopRequested) { stopRequested_ = std::move(stopRequested); }

    // `subfolder`, when given, takes the place of the folder named by the name's extension.
    SaveResult saveBytes(std::string_view name, std::span<const std::uint8_t> bytes,
                         std::string_view subfolder = {});

    // Copies `bytes` bytes of `source` from the start of sector `start`. Sectors that cannot be
    // read are written as zeros, as the engines see them, and counted in the result.
    SaveResult saveFromSource(std::string_view name, carving::SectorSource& source, std::uint64_t start,
                              std::uint64_t bytes, std::string_view subfolder = {});

    // Sectors [start, end) of `source`.
    SaveResult saveSectors(std::string_view name, carving::SectorSource& source, std::uint64_t start,
                           std::uint64_t end);

    // Moves `saved`, a file this saver saved, to `name` in `folders` below the results folder
    // (each name made safe, each folder made when missing and never followed when it is a link),
    // never replacing a file, and gives it `mtime` (seconds since 1970) when known.
    SaveResult moveTo(const std::filesystem::path& saved, const std::vector<std::string>& folders,
                      std::string_view name, std::optional<std::int64_t> mtime);

private:
    SaveResult finish(PartialFile& file, const std::filesystem::path& dir, std::string_view name,
                      std::uint64_t bytes);
    SaveResult refuseFull() const;
    SaveResult failed(std::string_view what, int error);

    std::filesystem::path destination_;
    SearchKind kind_;
    std::filesystem::path folder_;
    SaveFileSystem& fileSystem_;
    std::function<bool()> stopRequested_;
    bool full_ = false;
};

} // namespace quarry::results
