#include "../cli/carve_fixture.h"
#include "carving/memory_source.h"
#include "results/saver.h"
#include "results/traced_names.h"
#include "traces/trace_scanner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quarry::traces {
namespace {

using namespace quarry::cli::test;

// Runs a shell command quietly; true when it succeeded.
bool sh(const std::string& command) {
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

std::string q(const fs::path& p) {
    return "'" + p.string() + "'";
}

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void put64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
    put32(b, at, static_cast<std::uint32_t>(v));
    put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// An exFAT entry set (file, stream extension, names) for `name`, as a driver writes it.
std::vector<std::uint8_t> exFatEntrySet(const std::u16string& name, bool folder, std::uint32_t cluster,
                                        std::uint64_t bytes, std::uint32_t packedTime) {
    const std::size_t nameEntries = (name.size() + 14) / 15;
    std::vector<std::uint8_t> set((2 + nameEntries) * 32, 0);
    set[0] = 0x85;
    set[1] = static_cast<std::uint8_t>(1 + nameEntries);
    put16(set, 4, folder ? 0x10 : 0x20);
    put32(set, 8, packedTime);
    put32(set, 12, packedTime);
    set[32] = 0xC0;
    set[33] = 0x03; // allocation possible, no FAT chain
    set[35] = static_cast<std::uint8_t>(name.size());
    put64(set, 40, bytes);
    put32(set, 52, cluster);
    put64(set, 56, bytes);
    for (std::size_t k = 0; k < name.size(); ++k) {
        const std::size_t entry = 64 + k / 15 * 32;
        set[entry] = 0xC1;
        put16(set, entry + 2 + k % 15 * 2, name[k]);
    }
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < set.size(); ++i)
        if (i != 2 && i != 3)
            sum = static_cast<std::uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + set[i]);
    put16(set, 2, sum);
    return set;
}

// A file the traces must restore: where it lands below "Found by name", what it holds, its date.
struct Restored {
    std::string path;
    std::string corpus; // else `text`
    std::string text;
    std::string mtime; // empty: not checked
    bool deleted = false;
    bool fragmented = false;
};

struct ImageCase {
    const char* label;
    std::vector<std::string> tools;
    std::function<bool(const fs::path& dir, const fs::path& image)> build;
    const char* mode;
    const char* event; // "named": a carved item renamed; "traced": saved from its trace alone
    std::vector<Restored> files;
};

constexpr const char* kMouse = "004_the-mouse.jpg";
constexpr const char* kDune = "010_Dune.jpg";

// A FAT32 card with DCIM/100MEDIA, a deleted photo with a long name, then quick-formatted.
bool fatCard(const fs::path& dir, const fs::path& image, bool wipeBoots) {
    writeFile(dir / "notes.txt", "hello notes\n");
    const std::string mt = "MTOOLS_SKIP_CHECK=1 ";
    return sh("truncate -s 64M " + q(image) + " && mkfs.vfat -F 32 -s 1 " + q(image) + " && " + mt +
              "mmd -i " + q(image) + " ::DCIM ::DCIM/100MEDIA && touch -d '2023-05-06 07:08:10Z' " +
              q(dir / "notes.txt") + " && cp " + q(corpusFile(kMouse)) + " " + q(dir / "m.jpg") +
              " && touch -d '2022-01-02 03:04:06Z' " + q(dir / "m.jpg") + " && " + mt + "mcopy -m -i " +
              q(image) + " " + q(dir / "m.jpg") + " ::DCIM/100MEDIA/IMG_2034.JPG && " + mt + "mcopy -m -i " +
              q(image) + " " + q(dir / "notes.txt") + " ::DCIM/100MEDIA/notes.txt && " + mt + "mcopy -i " +
              q(image) + " " + q(corpusFile(kDune)) + " '::DCIM/100MEDIA/Long Name Photo.jpg' && " + mt +
              "mdel -i " + q(image) + " '::DCIM/100MEDIA/Long Name Photo.jpg' && mkfs.vfat -F 32 -s 1 " +
              q(image)) &&
           (!wipeBoots || sh("dd if=/dev/zero of=" + q(image) + " bs=512 count=8 conv=notrunc"));
}

// An exFAT volume from mkfs.exfat whose root lists DCIM, which lists IMG_0001.JPG: the entries
// are written here, as no tool writes exFAT without mounting it.
bool exFatCard(const fs::path&, const fs::path& image) {
    if (!sh("truncate -s 16M " + q(image) + " && mkfs.exfat " + q(image)))
        return false;
    auto bytes = readBytes(image);
    const std::uint64_t heap = get32(bytes, 0x58);
    const std::uint64_t clusterBytes = 512ULL << bytes[0x6D];
    const std::uint32_t root = get32(bytes, 0x60);
    const auto at = [&](std::uint32_t cluster) {
        return heap * 512 + (cluster - 2) * clusterBytes;
    };
    // 2023-05-06 07:08:10 in exFAT's packed form.
    const std::uint32_t when = (43u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5u;
    const auto photo = corpusBytes(kMouse);
    const std::uint32_t folder = 200;
    const std::uint32_t file = 210;
    auto dcim = exFatEntrySet(u"DCIM", true, folder, clusterBytes, when);
    // After the label, bitmap and up-case table entries mkfs.exfat wrote.
    std::size_t slot = at(root);
    while (bytes[slot] != 0)
        slot += 32;
    std::copy(dcim.begin(), dcim.end(), bytes.begin() + static_cast<std::ptrdiff_t>(slot));
    auto img = exFatEntrySet(u"IMG_0001.JPG", false, file, photo.size(), when);
    std::copy(img.begin(), img.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at(folder)));
    std::copy(photo.begin(), photo.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at(file)));
    writeBytes(image, bytes);
    return true;
}

// An NTFS volume filled by ntfscp, without mounting it.
bool ntfsVolume(const fs::path& dir, const fs::path& image, bool wipeFirstBoot) {
    writeFile(dir / "tiny.txt", "tiny\n");
    return sh("truncate -s 16M " + q(image) + " && mkntfs -F -Q -c 4096 " + q(image) + " && ntfscp -f " +
              q(image) + " " + q(corpusFile(kMouse)) + " holiday.jpg && ntfscp -f " + q(image) + " " +
              q(dir / "tiny.txt") + " tiny.txt") &&
           (!wipeFirstBoot || sh("dd if=/dev/zero of=" + q(image) + " bs=512 count=1 conv=notrunc"));
}

// An NTFS volume where a photo was written in pieces between another file's, then deleted: only
// its MFT record says where the pieces are. Needs FUSE.
bool fragmentedNtfs(const fs::path& dir, const fs::path& image) {
    const auto mount = dir / "mnt";
    fs::create_directories(mount);
    if (!sh("truncate -s 16M " + q(image) + " && mkntfs -F -Q -c 4096 " + q(image) + " && ntfs-3g " +
            q(image) + " " + q(mount)))
        return false;
    const auto photo = corpusBytes(kMouse);
    fs::create_directories(mount / "Photos");
    bool ok = true;
    {
        const auto append = [&](const fs::path& file, const std::uint8_t* data, std::size_t size) {
            FILE* f = std::fopen(file.c_str(), "ab");
            ok = ok && f != nullptr && std::fwrite(data, 1, size, f) == size;
            ok = f != nullptr && ::fsync(fileno(f)) == 0 && std::fclose(f) == 0 && ok;
        };
        const std::vector<std::uint8_t> other(8192, 0x5A);
        for (std::size_t offset = 0; offset < photo.size(); offset += 65536) {
            append(mount / "Photos" / "holiday.jpg", photo.data() + offset,
                   std::min<std::size_t>(65536, photo.size() - offset));
            append(mount / "other.bin", other.data(), other.size());
        }
    }
    ok = ok && sh("touch -d '2019-07-08 09:10:11Z' " + q(mount / "Photos" / "holiday.jpg") +
                  " && sync && rm " + q(mount / "Photos" / "holiday.jpg") + " && sync");
    return sh("umount " + q(mount)) && ok;
}

const std::vector<ImageCase> kImageCases{
    {"FAT32 quick-formatted, photos renamed",
     {"mkfs.vfat", "mcopy"},
     [](const fs::path& d, const fs::path& i) { return fatCard(d, i, false); },
     "photo",
     "named",
     {{"100MEDIA/IMG_2034.JPG", kMouse, "", "2022-01-02T03:04:06Z"},
      {"100MEDIA/Long Name Photo.jpg", kDune, "", "", true}}},
    {"FAT32 quick-formatted, files known only by name",
     {"mkfs.vfat", "mcopy"},
     [](const fs::path& d, const fs::path& i) { return fatCard(d, i, false); },
     "raw",
     "traced",
     {{"100MEDIA/notes.txt", "", "hello notes\n", "2023-05-06T07:08:10Z"},
      {"100MEDIA/IMG_2034.JPG", kMouse, "", "2022-01-02T03:04:06Z"}}},
    {"FAT32 without boot sectors: layout from the folders",
     {"mkfs.vfat", "mcopy"},
     [](const fs::path& d, const fs::path& i) { return fatCard(d, i, true); },
     "photo",
     "named",
     {{"100MEDIA/IMG_2034.JPG", kMouse, "", "2022-01-02T03:04:06Z"}}},
    {"exFAT",
     {"mkfs.exfat"},
     exFatCard,
     "raw",
     "traced",
     {{"DCIM/IMG_0001.JPG", kMouse, "", "2023-05-06T07:08:10Z"}}},
    {"NTFS, resident and non-resident data",
     {"mkntfs", "ntfscp"},
     [](const fs::path& d, const fs::path& i) { return ntfsVolume(d, i, false); },
     "raw",
     "traced",
     {{"holiday.jpg", kMouse, "", ""}, {"tiny.txt", "", "tiny\n", ""}}},
    {"NTFS from its backup boot sector",
     {"mkntfs", "ntfscp"},
     [](const fs::path& d, const fs::path& i) { return ntfsVolume(d, i, true); },
     "photo",
     "named",
     {{"holiday.jpg", kMouse, "", ""}}},
    {"NTFS, a deleted photo in pieces",
     {"mkntfs", "ntfs-3g"},
     fragmentedNtfs,
     "raw",
     "traced",
     {{"Photos/holiday.jpg", kMouse, "", "2019-07-08T09:10:11Z", true, true}}},
};

TEST(Traces, NamesDatesAndPiecesComeBackFromFileSystemTraces) {
    for (const auto& c : kImageCases) {
        SCOPED_TRACE(c.label);
        if (!std::all_of(c.tools.begin(), c.tools.end(),
                         [](const std::string& t) { return sh("command -v " + t); }))
            continue;
        TempDir dir;
        const auto image = dir.path() / "card.img";
        if (!c.build(dir.path(), image)) {
            // Only the FUSE case may fail to build here: mounting needs root and /dev/fuse.
            EXPECT_EQ(std::string(c.tools.back()), "ntfs-3g");
            continue;
        }
        writeDefinitions(dir.path() / "res", {{{"jpg", "10485760", "ffd8ff", "1", "JPEG"}},
                                              {},
                                              {},
                                              {},
                                              {{"pdf", "1000", "25504446", "1", "PDF"}},
                                              {}});
        const auto out = dir.path() / "out";
        const auto run = carve({"--mode", c.mode, "--json", "--resources", (dir.path() / "res").string(),
                                "--output", out.string(), image.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto kind =
            std::string(c.mode) == "photo" ? results::SearchKind::Photo : results::SearchKind::File;
        const auto byName = results::resultsFolder(out, kind) / results::kFoundByNameFolder;
        for (const auto& want : c.files) {
            SCOPED_TRACE(want.path);
            const auto name = fs::path(want.path).filename().string();
            const auto events = parseJsonLines(run.out);
            const auto event = std::find_if(events.begin(), events.end(), [&](const Json& e) {
                return e.at("event").get<std::string>() == c.event &&
                       e.at("original_name").get<std::string>() == name;
            });
            ASSERT_NE(event, events.end()) << run.out;
            EXPECT_EQ(fs::path((*event).at("saved_path").get<std::string>()), byName / want.path);
            EXPECT_EQ((*event).at("original_path").get<std::string>(),
                      fs::path(want.path).parent_path().string());
            EXPECT_EQ((*event).at("deleted").get<bool>(), want.deleted);
            EXPECT_EQ((*event).at("fragments").get<std::uint64_t>() > 1, want.fragmented);
            const auto saved = readBytes(byName / want.path);
            if (want.corpus.empty())
                EXPECT_EQ(std::string(saved.begin(), saved.end()), want.text);
            else
                EXPECT_TRUE(saved == corpusBytes(want.corpus)) << "not byte-exact";
            if (!want.mtime.empty()) {
                EXPECT_EQ((*event).at("mtime").get<std::string>(), want.mtime);
                struct stat info {};
                ASSERT_EQ(::stat((byName / want.path).c_str(), &info), 0);
                EXPECT_EQ(results::isoTime(info.st_mtime), want.mtime);
            }
        }
    }
}

// A medium whose every read is checked against its end.
class GuardedSource final : public carving::SectorSource {
public:
    explicit GuardedSource(std::vector<std::uint8_t> bytes) : inner_(std::move(bytes)) {}
    std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        EXPECT_LE(first + count, sectorCount()) << "a read left the medium";
        return inner_.readSectors(first, count, out);
    }

private:
    carving::MemorySource inner_;
};

constexpr std::uint64_t kHostileSectors = 64;

// An NTFS volume of 512-byte clusters: boot sector at 0, the hostile record at sector 8.
std::vector<std::uint8_t> ntfsWithRecord(const std::u16string& name, const std::vector<std::uint8_t>& runs,
                                         std::uint64_t size) {
    std::vector<std::uint8_t> m(kHostileSectors * 512, 0);
    m[0] = 0xEB;
    std::memcpy(&m[3], "NTFS    ", 8);
    put16(m, 0x0B, 512);
    m[0x0D] = 1;
    put64(m, 0x28, kHostileSectors - 1);
    put64(m, 0x30, 4);
    m[510] = 0x55;
    m[511] = 0xAA;
    const std::size_t r = 8 * 512;
    std::memcpy(&m[r], "FILE", 4);
    put16(m, r + 4, 0x30); // update sequence array
    put16(m, r + 6, 3);
    put16(m, r + 0x30, 0x0101);
    put16(m, r + 0x14, 0x38);
    put16(m, r + 0x16, 0); // deleted
    put32(m, r + 0x1C, 1024);
    put32(m, r + 0x2C, 40);
    std::size_t a = r + 0x38;
    // $FILE_NAME, in the root folder.
    const std::size_t nameLength = 0x18 + 0x42 + name.size() * 2;
    put32(m, a, 0x30);
    put32(m, a + 4, static_cast<std::uint32_t>((nameLength + 7) / 8 * 8));
    put32(m, a + 0x10, static_cast<std::uint32_t>(0x42 + name.size() * 2));
    put16(m, a + 0x14, 0x18);
    put64(m, a + 0x18, 5);
    m[a + 0x18 + 0x40] = static_cast<std::uint8_t>(name.size());
    m[a + 0x18 + 0x41] = 1;
    for (std::size_t k = 0; k < name.size(); ++k)
        put16(m, a + 0x18 + 0x42 + 2 * k, name[k]);
    a += (nameLength + 7) / 8 * 8;
    // $DATA, non-resident.
    const std::size_t dataLength = (0x40 + runs.size() + 1 + 7) / 8 * 8;
    put32(m, a, 0x80);
    put32(m, a + 4, static_cast<std::uint32_t>(dataLength));
    m[a + 8] = 1;
    put16(m, a + 0x20, 0x40);
    put64(m, a + 0x30, size);
    std::copy(runs.begin(), runs.end(), m.begin() + static_cast<std::ptrdiff_t>(a + 0x40));
    a += dataLength;
    put32(m, a, 0xFFFFFFFF);
    put32(m, r + 0x18, static_cast<std::uint32_t>(a + 8 - r));
    // The fix-ups: the last two bytes of each 512-byte half carry the sequence number.
    put16(m, r + 0x32, get32(m, r + 510) & 0xFFFF);
    put16(m, r + 510, 0x0101);
    put16(m, r + 0x34, get32(m, r + 1022) & 0xFFFF);
    put16(m, r + 1022, 0x0101);
    return m;
}

// A FAT subfolder at sector 20 (cluster 2, 512-byte clusters) and one at 21, the first of which
// lists a file with a long name that points where it likes.
std::vector<std::uint8_t> fatWithEntry(const std::u16string& longName, std::uint32_t cluster,
                                       std::uint32_t size) {
    std::vector<std::uint8_t> m(kHostileSectors * 512, 0);
    const auto folderStart = [&](std::size_t at, std::uint16_t own) {
        std::memcpy(&m[at], ".          ", 11);
        m[at + 11] = 0x10;
        put16(m, at + 26, own);
        std::memcpy(&m[at + 32], "..         ", 11);
        m[at + 43] = 0x10;
    };
    const std::size_t f = 20 * 512;
    folderStart(f, 2);        // cluster 2 is sector 20
    folderStart(21 * 512, 3); // a second folder fixes the cluster size
    const std::uint8_t shortName[11] = {'E', 'V', 'I', 'L', '~', '1', ' ', ' ', 'T', 'X', 'T'};
    std::uint8_t sum = 0;
    for (std::uint8_t c : shortName)
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + c);
    const std::size_t e = f + 64;
    m[e] = 0x41;
    m[e + 11] = 0x0F;
    m[e + 13] = sum;
    const std::size_t slots[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (std::size_t k = 0; k < 13; ++k)
        put16(m, e + slots[k], k < longName.size() ? longName[k] : (k == longName.size() ? 0 : 0xFFFF));
    std::memcpy(&m[e + 32], shortName, 11);
    m[e + 32 + 11] = 0x20;
    put16(m, e + 32 + 20, static_cast<std::uint16_t>(cluster >> 16));
    put16(m, e + 32 + 26, static_cast<std::uint16_t>(cluster));
    put32(m, e + 32 + 28, size);
    std::memcpy(&m[e + 96], "100MEDIA   ", 11);
    m[e + 96 + 11] = 0x10;
    put16(m, e + 96 + 26, 3);
    return m;
}

// A file's later piece may lie before its first: run offsets are signed and relative.
TEST(Traces, RunsMayGoBackOnTheVolume) {
    auto m = ntfsWithRecord(u"a.jpg", {0x11, 0x01, 0x28, 0x11, 0x01, 0xEC, 0x21, 0x01, 0x00, 0x01, 0}, 1536);
    const auto record = readMftRecord(std::span(m).subspan(8 * 512, 1024));
    ASSERT_TRUE(record);
    ASSERT_EQ(record->runs.size(), 3u);
    EXPECT_EQ(record->runs[0].lcn, 40u);
    EXPECT_EQ(record->runs[1].lcn, 20u);
    EXPECT_EQ(record->runs[2].lcn, 276u);
}

// A name re-used after a delete can leave a stray deleted piece with the same checksum just
// before the new chain; a 13-letter name has no terminator to hide what such a piece would add.
TEST(Traces, ALongNameStartsAfreshAtItsFirstPiece) {
    auto m = fatWithEntry(u"HOLIDAY01.JPG", 40, 100);
    const auto e = m.begin() + 20 * 512 + 64;
    std::copy_backward(e, e + 96, e + 128);
    std::copy(e + 32, e + 64, e);
    e[0] = 0xE5;
    e[1] = 'X';
    e[3] = 0;
    TraceScanner scanner;
    scanner.sectorsRead(0, kHostileSectors, m.data());
    scanner.finish(kHostileSectors);
    ASSERT_EQ(scanner.files().size(), 1u);
    EXPECT_EQ(scanner.files()[0].name, "HOLIDAY01.JPG");
}

TEST(Traces, HostileTracesNeverLeaveTheMediumNorTheResultsFolder) {
    const struct {
        const char* label;
        std::vector<std::uint8_t> medium;
        std::size_t traced; // files with something on the medium to save
    } cases[] = {
        // Two runs over the same clusters, then one of 2^62 clusters; a size of an exabyte.
        {"NTFS run list that loops and overflows",
         ntfsWithRecord(u"../../etc/passwd",
                        {0x11, 0x10, 0x20, 0x11, 0x10, 0x00, 0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                         0x3F, 0x01, 0},
                        std::uint64_t{1} << 60),
         1},
        {"NTFS run far past the medium",
         ntfsWithRecord(u"..", {0x11, 0x04, 0x30, 0x81, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x40, 0}, 4096), 1},
        {"NTFS name of a lone surrogate and a slash",
         ntfsWithRecord(std::u16string(1, char16_t(0xD800)) + u"/x", {0x11, 0x04, 0x30, 0}, 100), 1},
        {"FAT cluster past the medium", fatWithEntry(u"../x", 0x0FFFFFF0, 0xFFFFFFFF), 0},
        {"FAT file running past the medium", fatWithEntry(u"/etc/x", 40, 0xFFFFFFFF), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        GuardedSource medium(c.medium);
        TraceScanner scanner;
        scanner.sectorsRead(0, kHostileSectors, c.medium.data());
        scanner.finish(kHostileSectors);
        ASSERT_EQ(scanner.files().size(), c.traced);
        TempDir dir;
        results::ItemSaver saver(dir.path(), results::SearchKind::File);
        ASSERT_EQ(saver.prepareDestination(), "");
        results::TracedNaming naming(saver);
        const auto saved = naming.saveTracedOnly(scanner, medium, kHostileSectors * 512);
        std::uint64_t total = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            EXPECT_FALSE(entry.is_symlink());
            if (!entry.is_regular_file())
                continue;
            const auto relative = fs::relative(entry.path(), saver.folder());
            EXPECT_FALSE(relative.empty() || *relative.begin() == "..") << entry.path();
            total += entry.file_size();
        }
        EXPECT_LE(total, kHostileSectors * 512);
        EXPECT_EQ(saved.size(), c.traced);
    }
}

} // namespace
} // namespace quarry::traces
