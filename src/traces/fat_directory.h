#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarry::traces {

// One entry of a FAT folder, with its long name when the entries before it hold one.
struct FatEntry {
    std::string name;
    std::uint32_t firstCluster = 0;
    std::uint32_t bytes = 0;
    std::optional<std::int64_t> mtime;
    bool folder = false;
    bool deleted = false;
};

// A FAT subfolder found by its "." and ".." entries: the cluster it says it starts at, its
// parent's, the sector holding the "." entry, and what it lists.
struct FatFolder {
    std::uint32_t cluster = 0;
    std::uint32_t parentCluster = 0; // 0: the root
    std::uint64_t sector = 0;
    std::vector<FatEntry> entries;
};

// Reads FAT subfolders out of consecutive sectors: a sector starting with "." and ".." opens
// one, the sectors after it are read as its entries until its end mark or a sector that cannot
// be a folder's. A folder stored in pieces is read as far as its first piece goes.
class FatFolderReader {
public:
    // Feeds the next sector; `sector` follows the one fed before unless `gap`.
    void feed(std::uint64_t index, const std::uint8_t* sector, bool gap);
    // The folders read so far, the open one closed.
    std::vector<FatFolder> take();

private:
    // Reads the entries of one sector into the open folder; false when it holds something no
    // folder holds, true with `ended` when the folder's end mark is met.
    bool readEntries(const std::uint8_t* sector, unsigned firstEntry, bool& ended);
    void close();

    std::vector<FatFolder> done_;
    std::optional<FatFolder> open_;
    std::uint64_t sectorsRead_ = 0;
    std::vector<std::uint8_t> longName_; // UTF-16 pieces, in the order met (last piece first)
    std::uint8_t longChecksum_ = 0;
};

// True when a sector starts with the "." and ".." entries of a FAT subfolder.
bool startsFatFolder(const std::uint8_t* sector);

} // namespace quarry::traces
