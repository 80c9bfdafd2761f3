#include "traces/fat_directory.h"

#include "traces/bytes.h"

#include <cstring>
#include <string_view>

namespace quarry::traces {
namespace {

constexpr std::size_t kEntry = 32;
constexpr unsigned kEntriesPerSector = 16;
constexpr std::uint8_t kFolder = 0x10;
constexpr std::uint8_t kVolumeLabel = 0x08;
constexpr std::uint8_t kLongName = 0x0F;
constexpr std::uint8_t kDeleted = 0xE5;
// A folder holds at most 65536 entries: 2 MiB.
constexpr std::uint64_t kLongestFolder = 65536 * kEntry / 512;
// 20 pieces of 13 UTF-16 units hold the longest name, 255 units.
constexpr std::size_t kLongestName = 20 * 26;

std::uint8_t shortNameChecksum(const std::uint8_t* name) {
    std::uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) {
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + name[i]);
    }
    return sum;
}

bool shortNameByte(std::uint8_t c) {
    static constexpr std::string_view kForbidden = "\"*/:<>?\\|";
    return c >= 0x20 && c != 0x7F && kForbidden.find(static_cast<char>(c)) == std::string_view::npos;
}

bool plausibleShortEntry(const std::uint8_t* e) {
    if ((e[11] & 0xC0) != 0) {
        return false;
    }
    for (int i = e[0] == kDeleted || e[0] == 0x05 ? 1 : 0; i < 11; ++i) {
        if (!shortNameByte(e[i])) {
            return false;
        }
    }
    return true;
}

// "NAME    EXT" as "name.ext", in lower case where the entry asks for it.
std::string shortName(const std::uint8_t* e) {
    std::string base(reinterpret_cast<const char*>(e), 8);
    std::string ext(reinterpret_cast<const char*>(e + 8), 3);
    if (e[0] == kDeleted) {
        base[0] = '_'; // the first letter is lost
    }
    const auto trim = [](std::string& s, bool lower) {
        s.erase(s.find_last_not_of(' ') + 1);
        if (lower) {
            for (char& c : s) {
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
        }
    };
    // Letters past ASCII belong to a code page the card does not name.
    for (std::string* part : {&base, &ext}) {
        for (char& c : *part) {
            c = static_cast<unsigned char>(c) >= 0x80 ? '_' : c;
        }
    }
    trim(base, (e[12] & 0x08) != 0);
    trim(ext, (e[12] & 0x10) != 0);
    return ext.empty() ? base : base + "." + ext;
}

bool dotEntry(const std::uint8_t* e, std::string_view name) {
    return std::memcmp(e, name.data(), 11) == 0 && (e[11] & kFolder) != 0;
}

} // namespace

bool startsFatFolder(const std::uint8_t* sector) {
    return dotEntry(sector, ".          ") && dotEntry(sector + kEntry, "..         ");
}

void FatFolderReader::feed(std::uint64_t index, const std::uint8_t* sector, bool gap) {
    if (gap) {
        close();
    }
    if (startsFatFolder(sector)) {
        close();
        const auto cluster = [](const std::uint8_t* e) {
            return static_cast<std::uint32_t>(le16(e + 20)) << 16 | le16(e + 26);
        };
        open_ = FatFolder{cluster(sector), cluster(sector + kEntry), index, {}};
        sectorsRead_ = 0;
        bool ended = false;
        if (!readEntries(sector, 2, ended) || ended) {
            close();
        }
        return;
    }
    if (!open_) {
        return;
    }
    bool ended = false;
    if (!readEntries(sector, 0, ended) || ended || ++sectorsRead_ >= kLongestFolder) {
        close();
    }
}

bool FatFolderReader::readEntries(const std::uint8_t* sector, unsigned firstEntry, bool& ended) {
    // Checked whole first, so that a sector of other data adds nothing.
    std::vector<FatEntry> found;
    for (unsigned k = firstEntry; k < kEntriesPerSector; ++k) {
        const std::uint8_t* e = sector + k * kEntry;
        if (e[0] == 0x00) {
            ended = true;
            break;
        }
        if (e[11] == kLongName) {
            // Pieces come last first; a deleted piece has lost its order number but not its place.
            if (e[0] != kDeleted && (e[0] & 0x40) != 0) {
                longName_.clear();
            }
            if (!longName_.empty() && e[13] != longChecksum_) {
                longName_.clear();
            }
            if (longName_.size() >= kLongestName) {
                longName_.clear();
            }
            longChecksum_ = e[13];
            std::vector<std::uint8_t> piece(e + 1, e + 11);
            piece.insert(piece.end(), e + 14, e + 26);
            piece.insert(piece.end(), e + 28, e + 32);
            longName_.insert(longName_.begin(), piece.begin(), piece.end());
            continue;
        }
        if (!plausibleShortEntry(e)) {
            return false;
        }
        const bool deleted = e[0] == kDeleted;
        // A deleted entry's checksum counted the first letter it lost, so only a live one is checked.
        const bool longFits = !longName_.empty() && (deleted || shortNameChecksum(e) == longChecksum_);
        std::string name = longFits ? utf8FromUtf16(longName_.data(), longName_.size() / 2) : shortName(e);
        longName_.clear();
        if ((e[11] & kVolumeLabel) != 0 || name.empty()) {
            continue;
        }
        FatEntry entry;
        entry.name = std::move(name);
        entry.firstCluster = static_cast<std::uint32_t>(le16(e + 20)) << 16 | le16(e + 26);
        entry.bytes = le32(e + 28);
        entry.mtime = dosTime(le16(e + 24), le16(e + 22));
        entry.folder = (e[11] & kFolder) != 0;
        entry.deleted = deleted;
        found.push_back(std::move(entry));
    }
    for (auto& entry : found) {
        open_->entries.push_back(std::move(entry));
    }
    return true;
}

void FatFolderReader::close() {
    if (open_) {
        done_.push_back(std::move(*open_));
        open_.reset();
    }
    longName_.clear();
}

std::vector<FatFolder> FatFolderReader::take() {
    close();
    return std::move(done_);
}

} // namespace quarry::traces
