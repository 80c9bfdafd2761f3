#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/validators.h"
#include "test_files.h"

#include <algorithm>
#include <array>
#include <bzlib.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace quarry::results {
namespace {

namespace fs = std::filesystem;
using test::corpusBytes;
using test::readBytes;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kLargeLimit = 4ULL << 30;

std::uint64_t roundUpToSector(std::uint64_t bytes) {
    return (bytes + kSectorSize - 1) / kSectorSize * kSectorSize;
}

Bytes randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count + 4);
    for (std::size_t i = 0; i < count; i += 4) {
        const std::uint32_t word = static_cast<std::uint32_t>(random());
        std::memcpy(bytes.data() + i, &word, 4);
    }
    bytes.resize(count);
    return bytes;
}

void append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// A carved item: the file, then `count` random bytes of whatever followed it.
Bytes withRandomAfter(Bytes file, std::size_t count, std::uint32_t seed) {
    append(file, randomBytes(count, seed));
    return file;
}
void appendText(Bytes& to, std::string_view text) {
    to.insert(to.end(), text.begin(), text.end());
}

void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t getLe32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
    }
    return value;
}

void putBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t count) {
    return static_cast<std::uint32_t>(::crc32(0, data, static_cast<uInt>(count)));
}

// A medium in memory that fails the test when anything asks for a sector it does not have.
class StrictSource final : public carving::SectorSource {
public:
    explicit StrictSource(Bytes bytes) : bytes_(std::move(bytes)) {
        bytes_.resize(roundUpToSector(bytes_.size()));
    }

    std::uint64_t sectorCount() const override { return bytes_.size() / kSectorSize; }

    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first > sectorCount() || count > sectorCount() - first) {
            ADD_FAILURE() << "read of sectors " << first << "+" << count << " outside a medium of "
                          << sectorCount();
            return false;
        }
        std::memcpy(out, bytes_.data() + first * kSectorSize, count * kSectorSize);
        return true;
    }

private:
    Bytes bytes_;
};

// A medium made of pieces, each starting on a sector boundary, with random slack between them.
class ImageBuilder {
public:
    explicit ImageBuilder(std::uint32_t seed) : random_(seed) {}

    // Adds `bytes` at the next sector boundary; returns its first sector.
    std::uint64_t place(const Bytes& bytes) {
        const std::uint64_t sector = image_.size() / kSectorSize;
        append(image_, bytes);
        while (image_.size() % kSectorSize != 0) {
            image_.push_back(static_cast<std::uint8_t>(random_()));
        }
        return sector;
    }

    Bytes take() { return std::move(image_); }

private:
    std::mt19937 random_;
    Bytes image_;
};

struct Sample {
    std::string name;
    std::string extension;
};

void PrintTo(const Sample& sample, std::ostream* out) {
    *out << sample.name;
}

const std::vector<Sample>& corpusSamples() {
    static std::vector<Sample> samples;
    if (!samples.empty()) {
        return samples;
    }
    std::ifstream manifest(fs::path(QUARRY_TEST_CORPUS_DIR) / "MANIFEST.csv");
    std::string line;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        const std::string name = line.substr(0, line.find(','));
        std::string extension = fs::path(name).extension().string().substr(1);
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        samples.push_back({name, extension});
    }
    return samples;
}

// Where each corpus file really ends, when that is not its size.
std::uint64_t expectedEnd(const std::string& name, const Bytes& file) {
    static const std::map<std::string, std::uint64_t> kShorter = {
        // The camera appends a preview that no marker or index of the JPEG points to.
        {"012_Wood.jpg", 502221},
        // The writer pads four zero bytes after the last block the directories point to.
        {"098_image-300ppi.tif", 1488576},
        {"099_image-lzwcompression-300ppi.tif", 54912},
    };
    const auto found = kShorter.find(name);
    return found == kShorter.end() ? file.size() : found->second;
}

// Streams of frames state no length, so a cut between two frames looks like a shorter whole file.
bool truncationIsDetectable(const std::string& extension) {
    return extension != "MP3";
}

// Formats whose end is found by walking their structure to a closing mark; the others take a length
// from their header, which cannot tell that the data behind it was overwritten.
bool endIsWalkedTo(const std::string& extension) {
    static const std::vector<std::string> kWalked = {"JPG",  "PNG", "GIF", "PDF", "ZIP", "DOCX",
                                                     "XLSX", "ODT", "ODS", "OGG", "OGA"};
    return std::find(kWalked.begin(), kWalked.end(), extension) != kWalked.end();
}

std::string sampleName(const testing::TestParamInfo<Sample>& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class CorpusFileEnd : public testing::TestWithParam<Sample> {
protected:
    void SetUp() override {
        file_ = corpusBytes(GetParam().name);
        ASSERT_FALSE(file_.empty());
        expected_ = expectedEnd(GetParam().name, file_);
        // The next file on the medium: another corpus file, so its data is real.
        const auto& samples = corpusSamples();
        const auto self = std::find_if(samples.begin(), samples.end(),
                                       [&](const Sample& s) { return s.name == GetParam().name; });
        const auto next = std::next(self) == samples.end() ? samples.begin() : std::next(self);
        next_ = corpusBytes(next->name);
    }

    Bytes file_;
    Bytes next_;
    std::uint64_t expected_ = 0;
};

TEST_P(CorpusFileEnd, FindsTheEndBeforeTheNextFile) {
    ImageBuilder builder(7);
    builder.place(randomBytes(3 * kSectorSize, 1));
    const std::uint64_t start = builder.place(file_);
    const std::uint64_t nextStart = builder.place(next_);
    StrictSource source(builder.take());

    // The raw engine's item runs up to and including the next header's sector.
    const std::uint64_t itemBytes = (nextStart + 1 - start) * kSectorSize;
    const FileEnd end = findFileEnd(source, start, itemBytes, GetParam().extension, kLargeLimit);
    EXPECT_TRUE(end.validated);
    EXPECT_EQ(end.bytes, expected_);

    const FileEnd inMemory = findFileEnd(withRandomAfter(file_, kSectorSize + 100, 2), GetParam().extension);
    EXPECT_TRUE(inMemory.validated);
    EXPECT_EQ(inMemory.bytes, expected_);
}

TEST_P(CorpusFileEnd, FindsTheEndPastAShortItem) {
    ImageBuilder builder(8);
    const std::uint64_t start = builder.place(file_);
    builder.place(next_);
    StrictSource source(builder.take());

    // An item closed early: by the size limit or by a header inside the file.
    const FileEnd end = findFileEnd(source, start, 2 * kSectorSize, GetParam().extension, kLargeLimit);
    EXPECT_TRUE(end.validated);
    EXPECT_EQ(end.bytes, expected_);

    // Unless the reading limit stops short of the real end.
    if (!truncationIsDetectable(GetParam().extension)) {
        return;
    }
    const std::uint64_t limit = expected_ / 2;
    const FileEnd limited = findFileEnd(source, start, 2 * kSectorSize, GetParam().extension, limit);
    EXPECT_FALSE(limited.validated);
    EXPECT_EQ(limited.bytes, 2 * kSectorSize);
}

TEST_P(CorpusFileEnd, TruncatedFileFallsBackToTheItem) {
    if (!truncationIsDetectable(GetParam().extension)) {
        GTEST_SKIP() << "a frame stream has no stated length";
    }
    const Bytes half(file_.begin(), file_.begin() + static_cast<std::ptrdiff_t>(expected_ / 2));

    // The medium ends inside the file.
    StrictSource endsInside(half);
    const std::uint64_t itemBytes = roundUpToSector(half.size());
    EXPECT_EQ(findFileEnd(endsInside, 0, itemBytes, GetParam().extension, kLargeLimit).validated, false);
    EXPECT_EQ(findFileEnd(endsInside, 0, itemBytes, GetParam().extension, kLargeLimit).bytes, itemBytes);
    EXPECT_FALSE(findFileEnd(half, GetParam().extension).validated);

    // The rest was overwritten by zeros, then by unrelated data.
    if (!endIsWalkedTo(GetParam().extension)) {
        return;
    }
    for (const std::uint32_t seed : {0U, 3U}) {
        Bytes overwritten(half);
        append(overwritten, seed == 0 ? Bytes(file_.size(), 0) : randomBytes(file_.size(), seed));
        StrictSource source(overwritten);
        const FileEnd end = findFileEnd(source, 0, itemBytes, GetParam().extension, kLargeLimit);
        EXPECT_FALSE(end.validated) << "seed " << seed << " end " << end.bytes;
        EXPECT_EQ(end.bytes, itemBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFileEnd, testing::ValuesIn(corpusSamples()), sampleName);

TEST(FileEndTypes, ExtensionsAreMatchedWithoutRegardToCase) {
    for (const char* extension : {"JPG", "jpg", "Jpeg", "MOV", "mp4", "DOCX", "xlsx", "Pdf", "CR2", "7z"}) {
        EXPECT_TRUE(hasValidator(extension)) << extension;
    }
    for (const char* extension : {"", "XZ", "TXT", "JPGX", ".JPG"}) {
        EXPECT_FALSE(hasValidator(extension)) << extension;
    }
    const Bytes file = corpusBytes("040_Canon_40D.jpg");
    EXPECT_EQ(findFileEnd(file, "txt").validated, false);
    EXPECT_EQ(findFileEnd(file, "txt").bytes, file.size());
    StrictSource source(file);
    EXPECT_EQ(findFileEnd(source, 0, 4096, "xz", kLargeLimit).bytes, 4096U);
}

TEST(FileEndTypes, AFileOfAnotherTypeIsNotValidated) {
    const Bytes jpeg = corpusBytes("040_Canon_40D.jpg");
    const Bytes zip = corpusBytes("096_textfiles_historicaldates.zip");
    for (const char* extension : {"PNG", "GIF", "BMP", "AVI", "WAV", "MP4", "MKV", "PDF", "ZIP", "DOC",
                                  "SQLITE", "TIF", "RAF", "MP3", "OGG", "RAR", "7Z"}) {
        EXPECT_FALSE(findFileEnd(jpeg, extension).validated) << extension;
    }
    EXPECT_FALSE(findFileEnd(zip, "JPG").validated);
}

TEST(FileEndSources, StartPastTheMediumOrEmptyBytesAreNotValidated) {
    StrictSource source(corpusBytes("040_Canon_40D.jpg"));
    const FileEnd past = findFileEnd(source, source.sectorCount() + 5, 1024, "JPG", kLargeLimit);
    EXPECT_FALSE(past.validated);
    EXPECT_EQ(past.bytes, 1024U);
    EXPECT_FALSE(findFileEnd(Bytes{}, "JPG").validated);
    EXPECT_FALSE(findFileEnd(source, 0, 1024, "JPG", 0).validated);
}

TEST(FileEndSources, AnUnreadableSectorMeansUnvalidated) {
    class Unreadable final : public carving::SectorSource {
    public:
        explicit Unreadable(Bytes bytes) : inner_(std::move(bytes)) {}
        std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
        bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
            return first + count <= 10 && inner_.readSectors(first, count, out);
        }

    private:
        StrictSource inner_;
    };
    Unreadable source(corpusBytes("013_LadyBird.jpg"));
    const FileEnd end = findFileEnd(source, 0, 8192, "JPG", kLargeLimit);
    EXPECT_FALSE(end.validated);
    EXPECT_EQ(end.bytes, 8192U);
}

// A large medium that holds one header and then the same byte everywhere, counting what is read.
class EndlessSource final : public carving::SectorSource {
public:
    EndlessSource(Bytes header, std::uint8_t fill) : header_(std::move(header)), fill_(fill) {}

    std::uint64_t sectorCount() const override { return 32ULL << 21; } // 32 GiB
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        EXPECT_LE(first + count, sectorCount());
        std::memset(out, fill_, count * kSectorSize);
        if (first == 0) {
            std::memcpy(out, header_.data(), std::min<std::size_t>(header_.size(), count * kSectorSize));
        }
        bytesRead += count * kSectorSize;
        return true;
    }

    std::uint64_t bytesRead = 0;

private:
    Bytes header_;
    std::uint8_t fill_;
};

TEST(FileEndSources, ScansThatFindNoEndStopAfterABoundedRead) {
    // The entropy-coded data of a JPEG and the body of a PDF, neither ever closed.
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0};
    for (const auto& [header, extension] :
         {std::pair{jpeg, "JPG"}, std::pair{Bytes{'%', 'P', 'D', 'F', '-', '1'}, "PDF"}}) {
        EndlessSource text(header, 'A');
        EXPECT_FALSE(findFileEnd(text, 0, 4096, extension, kLargeLimit).validated);
        EXPECT_LE(text.bytesRead, 513ULL << 20) << extension;

        // Zeroed free space gives up much sooner.
        EndlessSource zeros(header, 0);
        EXPECT_FALSE(findFileEnd(zeros, 0, 4096, extension, kLargeLimit).validated);
        EXPECT_LE(zeros.bytesRead, 2ULL << 20) << extension;
    }
}

// Formats whose header states a length longer than the raw engine's 18 MiB items.
class LongContainers : public testing::Test {
protected:
    static constexpr std::uint64_t kItemCap = 18874368;

    static FileEnd measureAsCappedItem(const Bytes& file, const std::string& extension) {
        StrictSource source(withRandomAfter(file, 3 * kSectorSize, 9));
        return findFileEnd(source, 0, kItemCap, extension, kLargeLimit);
    }
};

TEST_F(LongContainers, AviContinuesInAvixChunks) {
    Bytes file = corpusBytes("116_gen_camera_mjpeg.avi");
    const std::uint64_t first = file.size();
    // An OpenDML continuation chunk of 20 MiB, then a second one.
    for (const std::uint32_t body : {20U << 20, 1000U}) {
        Bytes avix(12 + body, 0);
        std::memcpy(avix.data(), "RIFF", 4);
        putLe32(avix, 4, body + 4);
        std::memcpy(avix.data() + 8, "AVIX", 4);
        append(file, avix);
    }
    const FileEnd end = measureAsCappedItem(file, "AVI");
    EXPECT_TRUE(end.validated);
    EXPECT_EQ(end.bytes, file.size());
    EXPECT_GT(end.bytes, first + kItemCap);

    // A RIFF chunk of another form right after is the next file.
    Bytes withWave(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(first));
    append(withWave, corpusBytes("028_demo-congrats.wav"));
    EXPECT_EQ(findFileEnd(withWave, "AVI").bytes, first);
}

TEST_F(LongContainers, Mp4BoxesWithLargeSizeAndSizeZero) {
    const Bytes movie = corpusBytes("112_has-tags.m4a");
    const std::uint64_t mediaBytes = 20ULL << 20;

    Bytes large(movie);
    Bytes header(16, 0);
    putBe32(header, 0, 1);
    std::memcpy(header.data() + 4, "mdat", 4);
    putBe32(header, 12, static_cast<std::uint32_t>(mediaBytes + 16));
    append(large, header);
    large.resize(large.size() + mediaBytes, 0x55);
    const FileEnd end = measureAsCappedItem(large, "M4A");
    EXPECT_TRUE(end.validated);
    EXPECT_EQ(end.bytes, large.size());

    // A last box of size 0 runs to the end of the item.
    Bytes open(movie);
    Bytes zero(8, 0);
    std::memcpy(zero.data() + 4, "mdat", 4);
    append(open, zero);
    append(open, randomBytes(5000, 4));
    StrictSource source(open);
    EXPECT_EQ(findFileEnd(source, 0, 6 * kSectorSize, "M4A", kLargeLimit).bytes, movie.size() + 8);
    EXPECT_EQ(findFileEnd(source, 0, 20 * kSectorSize, "M4A", kLargeLimit).bytes, 20 * kSectorSize);

    // Another movie straight after is not part of this one.
    Bytes two(movie);
    append(two, movie);
    EXPECT_EQ(findFileEnd(two, "MP4").bytes, movie.size());
}

TEST_F(LongContainers, MatroskaWithUnknownSegmentSizeEndsAfterItsLastCluster) {
    Bytes file = corpusBytes("117_gen_testsrc2_h264.mkv");
    // Rewrite the segment's size as "unknown", as live recorders leave it.
    const std::array<std::uint8_t, 4> segmentId = {0x18, 0x53, 0x80, 0x67};
    const auto segment = std::search(file.begin(), file.end(), segmentId.begin(), segmentId.end());
    ASSERT_NE(segment, file.end());
    const auto sizeAt = static_cast<std::size_t>(segment - file.begin()) + 4;
    const int sizeLength = [&] {
        int length = 1;
        for (std::uint8_t mask = 0x80; (file[sizeAt] & mask) == 0; mask >>= 1) {
            ++length;
        }
        return length;
    }();
    file[sizeAt] = static_cast<std::uint8_t>(0xFF >> (sizeLength - 1));
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(sizeAt) + 1, sizeLength - 1, 0xFF);

    Bytes item(file);
    append(item, corpusBytes("109_sample.mp4"));
    const FileEnd end = findFileEnd(item, "MKV");
    EXPECT_TRUE(end.validated);
    EXPECT_EQ(end.bytes, file.size());
}

TEST(DocumentEnds, PdfIncrementalUpdatesEndAtTheirLastMarker) {
    const Bytes original = corpusBytes("092_032270.pdf");
    Bytes updated(original);
    appendText(updated,
               "12 0 obj\n<< /Type /Annot >>\nendobj\nxref\n0 1\n0000000000 65535 f \ntrailer\n<< >>\n"
               "startxref\n123\n%%EOF\r\n");
    Bytes item(updated);
    appendText(item, "\n\n some leftover text %%EOF of an older file");
    EXPECT_EQ(findFileEnd(item, "PDF").bytes, updated.size());

    // A document starting on the next sector is the next file, even when the first lacks its marker.
    Bytes broken(original.begin(), original.end() - 8);
    ImageBuilder builder(5);
    builder.place(broken);
    builder.place(original);
    StrictSource source(builder.take());
    EXPECT_FALSE(findFileEnd(source, 0, 4096, "PDF", kLargeLimit).validated);
}

TEST(DocumentEnds, ZipEndRecordMustPointBackAtTheCentralDirectory) {
    const Bytes zip = corpusBytes("096_textfiles_historicaldates.zip");
    const std::array<std::uint8_t, 4> endSignature = {'P', 'K', 5, 6};
    const auto endRecord = static_cast<std::size_t>(
        std::find_end(zip.begin(), zip.end(), endSignature.begin(), endSignature.end()) - zip.begin());
    ASSERT_EQ(endRecord + 22, zip.size());
    Bytes moved(zip);
    putLe32(moved, endRecord + 16, getLe32(moved, endRecord + 16) + 1);
    EXPECT_FALSE(findFileEnd(moved, "ZIP").validated);

    // A comment belongs to the archive.
    Bytes commented(zip);
    commented[endRecord + 20] = 11;
    appendText(commented, "hello there");
    append(commented, randomBytes(700, 6));
    EXPECT_EQ(findFileEnd(commented, "ZIP").bytes, zip.size() + 11);
}

TEST(DocumentEnds, CompoundFileNeedsItsTableSectorsMarked) {
    Bytes doc = corpusBytes("066_text_only.doc");
    EXPECT_TRUE(findFileEnd(doc, "DOC").validated);
    // The first allocation-table sector as named in the header.
    const std::uint32_t fatSector = getLe32(doc, 0x4C);
    ASSERT_LT(fatSector, 128U);
    const std::size_t mark = (fatSector + 1) * 512 + 4 * fatSector;
    putLe32(doc, mark, 0xFFFFFFFF);
    EXPECT_FALSE(findFileEnd(doc, "DOC").validated);
}

TEST(DocumentEnds, SqliteLengthIsPageSizeTimesPageCount) {
    Bytes db(100, 0);
    std::memcpy(db.data(), "SQLite format 3", 16);
    db[16] = 0x10; // 4096-byte pages
    putBe32(db, 24, 7);
    putBe32(db, 28, 3);
    putBe32(db, 92, 7);
    db.resize(3 * 4096, 0);
    Bytes item = withRandomAfter(db, 5000, 8);
    EXPECT_EQ(findFileEnd(item, "sqlite").bytes, 3U * 4096);
    EXPECT_TRUE(findFileEnd(item, "DB").validated);

    // A page count older than the last change is not trusted.
    putBe32(item, 92, 6);
    EXPECT_FALSE(findFileEnd(item, "sqlite").validated);
    // Nor a page count past the end of the medium.
    putBe32(item, 92, 7);
    putBe32(item, 28, 300);
    EXPECT_FALSE(findFileEnd(item, "sqlite").validated);
}

TEST(ImageEnds, BrokenStructuresAreNotValidated) {
    Bytes png = corpusBytes("018_julia-set.png");
    putBe32(png, 8, 0x7FFFFFF0); // IHDR claims nearly 2 GiB
    EXPECT_FALSE(findFileEnd(png, "PNG").validated);

    Bytes jpeg = corpusBytes("040_Canon_40D.jpg");
    jpeg[3] = 0x02; // not a marker
    EXPECT_FALSE(findFileEnd(jpeg, "JPG").validated);

    Bytes gif = corpusBytes("033_atop.gif");
    gif[gif.size() - 1] = 0x42; // the trailer replaced
    append(gif, Bytes(64, 0x42));
    EXPECT_FALSE(findFileEnd(gif, "GIF").validated);

    Bytes tiff = corpusBytes("099_image-lzwcompression-300ppi.tif");
    EXPECT_TRUE(findFileEnd(tiff, "TIF").validated);
    putLe32(tiff, 4, static_cast<std::uint32_t>(tiff.size() + 100)); // first directory off the end
    EXPECT_FALSE(findFileEnd(tiff, "TIF").validated);

    Bytes ogg = corpusBytes("108_audio-opensource.ogg");
    ogg[ogg.size() / 2] ^= 0x01; // breaks one page's checksum
    EXPECT_FALSE(findFileEnd(ogg, "OGG").validated);
}

TEST(ImageEnds, BitmapWithoutAFileSizeIsMeasuredByItsRows) {
    // 800 by 600 pixels of 24 bits after a 54-byte header; the writer padded two bytes after them.
    const Bytes bmp = corpusBytes("097_image-24bit-300ppi.bmp");
    Bytes unsized = withRandomAfter(bmp, 3000, 10);
    putLe32(unsized, 2, 0);
    EXPECT_EQ(findFileEnd(unsized, "BMP").bytes, 54U + 800 * 3 * 600);
}

TEST(ArchiveEnds, SevenZipAndRarHeadersAreChecked) {
    // A 7z archive: start header, packed data, closing header.
    Bytes sevenZip = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4};
    sevenZip.resize(32, 0);
    const Bytes packed = randomBytes(3000, 11);
    const Bytes closing = {0x01, 0x04, 0x06, 0x00, 0x00};
    putLe32(sevenZip, 12, static_cast<std::uint32_t>(packed.size()));
    putLe32(sevenZip, 20, static_cast<std::uint32_t>(closing.size()));
    putLe32(sevenZip, 28, crc32(closing.data(), closing.size()));
    putLe32(sevenZip, 8, crc32(sevenZip.data() + 12, 20));
    append(sevenZip, packed);
    append(sevenZip, closing);
    Bytes item = withRandomAfter(sevenZip, 900, 12);
    EXPECT_EQ(findFileEnd(item, "7Z").bytes, sevenZip.size());
    item[40] ^= 0xFF; // packed data is not checked
    EXPECT_TRUE(findFileEnd(item, "7Z").validated);
    item[sevenZip.size() - 1] ^= 0xFF;
    EXPECT_FALSE(findFileEnd(item, "7Z").validated);

    // RAR 5: main header, a file header with data, end of archive.
    const auto block = [](Bytes fields, const Bytes& data) {
        Bytes out(4, 0);
        out.push_back(static_cast<std::uint8_t>(fields.size()));
        append(out, fields);
        putLe32(out, 0, crc32(out.data() + 4, out.size() - 4));
        append(out, data);
        return out;
    };
    Bytes rar = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
    append(rar, block({1, 0, 0}, {}));
    const Bytes data = randomBytes(700, 13);
    append(rar,
           block({2, 2, static_cast<std::uint8_t>((700 & 0x7F) | 0x80), static_cast<std::uint8_t>(700 >> 7)},
                 data));
    append(rar, block({5, 0, 0}, {}));
    Bytes rarItem = withRandomAfter(rar, 900, 14);
    EXPECT_EQ(findFileEnd(rarItem, "RAR").bytes, rar.size());
    rarItem[rar.size() - 2] ^= 0x01;
    EXPECT_FALSE(findFileEnd(rarItem, "RAR").validated);
}

TEST(ImageEnds, JpegKeepsTheFurtherImagesOfAMultiPictureIndex) {
    const Bytes first = corpusBytes("040_Canon_40D.jpg");
    const Bytes second = corpusBytes("061_BlueSquare.jpg");
    // APP2 "MPF": a little-endian TIFF header and one directory whose entry lists both images,
    // offsets counted from that TIFF header.
    Bytes segment = {0xFF, 0xE2, 0, 0, 'M', 'P', 'F', 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x02, 0xB0, 7, 0};
    segment.resize(segment.size() + 12, 0);
    putLe32(segment, 22, 32);
    putLe32(segment, 26, 26);
    segment.resize(segment.size() + 32, 0);
    segment[2] = 0;
    segment[3] = static_cast<std::uint8_t>(segment.size() - 2);
    const std::size_t tiffBase = 2 + 8;
    Bytes file(first.begin(), first.begin() + 2);
    append(file, segment);
    file.insert(file.end(), first.begin() + 2, first.end());
    putLe32(file, tiffBase + 26 + 4, static_cast<std::uint32_t>(file.size()));
    putLe32(file, tiffBase + 26 + 16 + 4, static_cast<std::uint32_t>(second.size()));
    putLe32(file, tiffBase + 26 + 16 + 8, static_cast<std::uint32_t>(file.size() - tiffBase));
    const std::size_t firstEnd = file.size();
    append(file, second);
    Bytes item = withRandomAfter(file, 2000, 15);
    EXPECT_EQ(findFileEnd(item, "JPG").bytes, file.size());

    // An entry that points at anything but a whole JPEG is ignored.
    item[firstEnd + 1] = 0x00;
    EXPECT_EQ(findFileEnd(item, "JPG").bytes, firstEnd);
}

// Smaller formats, built here since the corpus has none: the exact end with other data after it,
// and no validation once a length or checksum is wrong.
class SmallFormats : public testing::Test {
protected:
    static void expectEnd(const Bytes& file, const char* extension) {
        const FileEnd end =
            findFileEnd(withRandomAfter(file, 1500, static_cast<std::uint32_t>(file.size())), extension);
        EXPECT_TRUE(end.validated) << extension;
        EXPECT_EQ(end.bytes, file.size()) << extension;
    }

    static void expectBroken(const Bytes& file, const char* extension) {
        EXPECT_FALSE(findFileEnd(file, extension).validated) << extension;
    }
};

TEST_F(SmallFormats, FlacFramesEndWhereTheSampleCountIsReached) {
    const auto crc8 = [](const Bytes& bytes, std::size_t from) {
        std::uint8_t crc = 0;
        for (std::size_t i = from; i < bytes.size(); ++i) {
            crc ^= bytes[i];
            for (int bit = 0; bit < 8; ++bit) {
                crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
            }
        }
        return crc;
    };
    const auto crc16 = [](const Bytes& bytes, std::size_t from) {
        std::uint16_t crc = 0;
        for (std::size_t i = from; i < bytes.size(); ++i) {
            crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
            for (int bit = 0; bit < 8; ++bit) {
                crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x8005 : crc << 1);
            }
        }
        return crc;
    };
    // Mono, 16 bits, 44.1 kHz, three frames of 4096 samples holding constant values.
    Bytes flac = {'f', 'L', 'a', 'C', 0x80, 0, 0, 34, 0x10, 0x00, 0x10, 0x00};
    flac.resize(flac.size() + 6, 0);
    const std::uint64_t format = 44100ULL << 44 | 15ULL << 36 | 3 * 4096;
    for (int i = 7; i >= 0; --i) {
        flac.push_back(static_cast<std::uint8_t>(format >> (8 * i)));
    }
    flac.resize(flac.size() + 16, 0);
    for (std::uint8_t frame = 0; frame < 3; ++frame) {
        const std::size_t start = flac.size();
        append(flac, {0xFF, 0xF8, 0xC9, 0x08, frame});
        flac.push_back(crc8(flac, start));
        append(flac, {0x00, 0x12, static_cast<std::uint8_t>(0x34 + frame)});
        const std::uint16_t crc = crc16(flac, start);
        append(flac, {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
    }
    expectEnd(flac, "FLAC");
    Bytes damaged(flac);
    damaged[damaged.size() - 13] ^= 0x40; // the second frame's data
    expectBroken(damaged, "FLAC");
}

TEST_F(SmallFormats, LengthsStatedInHeaders) {
    Bytes aiff = {'F', 'O', 'R', 'M', 0, 0, 0x01, 0x04, 'A', 'I', 'F', 'F'};
    aiff.resize(8 + 0x104, 0x11);
    expectEnd(aiff, "AIFF");

    Bytes cabinet = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
    cabinet.resize(2000, 0);
    putLe32(cabinet, 8, 2000);
    putLe32(cabinet, 16, 44);
    cabinet[24] = 3;
    cabinet[25] = 1;
    expectEnd(cabinet, "CAB");

    Bytes woff = {'w', 'O', 'F', 'F', 0, 1, 0, 0};
    woff.resize(900, 0x22);
    putBe32(woff, 8, 900);
    woff[14] = 0;
    woff[15] = 0;
    expectEnd(woff, "WOFF");

    Bytes pst = {'!', 'B', 'D', 'N', 0, 0, 0, 0, 'S', 'M', 23, 0};
    pst.resize(4096, 0);
    putLe32(pst, 0xB8, 4096);
    expectEnd(pst, "PST");
    putLe32(pst, 0xB8, 40960);
    expectBroken(pst, "PST");
}

TEST_F(SmallFormats, WalkedContainers) {
    // Flash video: tags each followed by its own size.
    Bytes flv = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
    for (const std::uint8_t type : std::initializer_list<std::uint8_t>{18, 9, 8}) {
        Bytes tag = {type, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0};
        tag.resize(11 + 100, 0x33);
        tag.resize(tag.size() + 4, 0);
        putBe32(tag, 111, 111);
        append(flv, tag);
    }
    expectEnd(flv, "FLV");

    // Windows Media: header, data and a simple index object.
    Bytes asf;
    const Bytes guids[] = {
        {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C},
        {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C},
        {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB}};
    for (const Bytes& guid : guids) {
        Bytes object(guid);
        object.resize(300, 0x44);
        putLe32(object, 16, 300);
        putLe32(object, 20, 0);
        append(asf, object);
    }
    expectEnd(asf, "WMV");
    putLe32(asf, 300 + 16, 1U << 30);
    expectBroken(asf, "WMV");

    // MIDI: a header chunk counting two tracks.
    Bytes midi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 96};
    for (int track = 0; track < 2; ++track) {
        Bytes chunk = {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
        append(midi, chunk);
    }
    expectEnd(midi, "MID");

    // TAR: a member with a checksummed header, then two zero blocks padded to a 10240-byte record.
    Bytes tar(512, 0);
    std::memcpy(tar.data(), "hello.txt", 9);
    std::memcpy(tar.data() + 100, "0000644", 7);
    std::memcpy(tar.data() + 124, "00000001750", 11); // 1000 bytes
    tar[156] = '0';
    std::memcpy(tar.data() + 257, "ustar", 6);
    std::memcpy(tar.data() + 263, "00", 2);
    std::memset(tar.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (const std::uint8_t b : tar) {
        sum += b;
    }
    std::snprintf(reinterpret_cast<char*>(tar.data() + 148), 8, "%06o", sum);
    append(tar, randomBytes(1000, 16));
    tar.resize(10240, 0);
    expectEnd(tar, "TAR");
    tar[0] = 'j'; // the checksum no longer holds
    expectBroken(tar, "TAR");
}

TEST_F(SmallFormats, TablesThatPointIntoTheFile) {
    // An OpenType font with two tables; the last is padded to four bytes.
    Bytes font = {'O', 'T', 'T', 'O', 0, 2, 0, 32, 0, 1, 0, 0};
    font.resize(12 + 2 * 16, 0);
    std::memcpy(font.data() + 12, "head", 4);
    putBe32(font, 12 + 8, 44);
    putBe32(font, 12 + 12, 54);
    std::memcpy(font.data() + 28, "name", 4);
    putBe32(font, 28 + 8, 100);
    putBe32(font, 28 + 12, 201);
    font.resize(304, 0x55);
    putBe32(font, 44 + 12, 0x5F0F3CF5);
    expectEnd(font, "OTF");
    putBe32(font, 44 + 12, 0x5F0F3CF4); // not a font header
    expectBroken(font, "OTF");

    // A 64-bit little-endian ELF file: one segment, two sections, the section table last.
    Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
    elf.resize(64, 0);
    elf[32] = 64;                    // program headers right after the header
    putLe32(elf, 40, 64 + 56 + 800); // section headers after the data
    elf[54] = 56;
    elf[56] = 1;
    elf[58] = 64;
    elf[60] = 2;
    Bytes program(56, 0);
    program[8] = 120;
    putLe32(program, 32, 500);
    append(elf, program);
    elf.resize(64 + 56 + 800, 0x66);
    Bytes sections(128, 0);
    sections[64 + 4] = 1;
    putLe32(sections, 64 + 24, 620);
    putLe32(sections, 64 + 32, 300);
    append(elf, sections);
    expectEnd(elf, "ELF");
    for (const std::size_t at : {5, 6}) { // an unknown byte order, then an unknown version
        Bytes unknown(elf);
        unknown[at] = 3;
        expectBroken(unknown, "ELF");
    }
    putLe32(elf, 40, 1U << 20);
    expectBroken(elf, "SO");
}

Bytes fromHex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

void putBe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

// Headers of the signature records short or common enough to match random data: behind each, random
// bytes must never pass for a file.
TEST(WeakSignatures, RandomBytesBehindTheHeaderAreRejected) {
    const std::vector<std::pair<const char*, const char*>> records = {
        {"MP3", "FFFB"},
        {"MP3", "FFFA"},
        {"MP3", "FFF3"},
        {"MP3", "FFF2"},
        {"MP3", "FFE3"},
        {"MP3", "494433030000"},
        {"AAC", "FFF1"},
        {"AAC", "FFF9"},
        {"EXE", "4D5A"},
        {"DLL", "4D5A90000300000004000000FFFF0000"},
        {"JXL", "FF0A"},
        {"JXL", "0000000C4A584C200D0A870A"},
        {"BMP", "424D"},
        {"JPG", "FFD8FF"},
        {"TTF", "0001000000"},
        {"TTF", "7472756500"},
        {"OTF", "4F54544F00"},
        {"TTC", "7474636600"},
        {"DV", "1F0700BF"},
        {"DV", "1F07003F"},
        {"M2V", "000001B3"},
        {"MPG", "000001BA"},
        {"GZ", "1F8B08"},
        {"BZ2", "425A68"},
        {"BZ2", "425A6839314159265359"},
        {"PSD", "384250530001000000000000"},
        {"PSB", "384250530002000000000000"},
        {"JP2", "0000000C6A5020200D0A870A"},
        {"J2K", "FF4FFF51"},
    };
    for (const auto& [extension, header] : records) {
        const Bytes magic = fromHex(header);
        for (std::uint32_t seed = 0; seed < 300; ++seed) {
            Bytes input = randomBytes(8192, seed);
            std::copy(magic.begin(), magic.end(), input.begin());
            ASSERT_FALSE(findFileEnd(input, extension).validated)
                << extension << " " << header << " " << seed;
        }
    }
}

// What a cut file measures as: nothing, or, for streams of parts that each state their length, the
// parts before the cut.
enum class Cut { Rejected, MeasuredToLastWholePart };

struct MadeFile {
    std::string name;
    std::string extension;
    Bytes (*make)();
    Cut cut;
};

void PrintTo(const MadeFile& file, std::ostream* out) {
    *out << file.name;
}

Bytes adtsStream() {
    Bytes stream;
    for (std::uint32_t frame = 0; frame < 20; ++frame) {
        const std::uint16_t length = static_cast<std::uint16_t>(200 + frame);
        Bytes header = {0xFF,
                        0xF1,
                        0x50,
                        static_cast<std::uint8_t>(0x80 | length >> 11),
                        static_cast<std::uint8_t>(length >> 3),
                        static_cast<std::uint8_t>((length & 7) << 5 | 0x1F),
                        0xFC};
        append(stream, header);
        append(stream, randomBytes(length - header.size(), frame));
    }
    return stream;
}

// The corpus MP3 with the tags taggers append: APEv2 with its header, Lyrics3v2, and the ID3v1 tag
// it already has; then the other corpus MP3 with a headerless APE tag.
Bytes mp3WithTags() {
    Bytes mp3 = corpusBytes("111_silence-44-s.mp3");
    const Bytes id3v1(mp3.end() - 128, mp3.end());
    mp3.resize(mp3.size() - 128);
    const auto apeFrame = [](std::uint32_t bytes, std::uint32_t flags) {
        Bytes frame(32, 0);
        std::memcpy(frame.data(), "APETAGEX", 8);
        putLe32(frame, 8, 2000);
        putLe32(frame, 12, bytes);
        putLe32(frame, 16, 1);
        putLe32(frame, 20, flags);
        return frame;
    };
    Bytes item(9, 0);
    putLe32(item, 0, 5);
    appendText(item, "Title");
    item.back() = 0;
    appendText(item, "hello");
    const std::uint32_t apeBytes = static_cast<std::uint32_t>(item.size() + 32);
    append(mp3, apeFrame(apeBytes, 0xA0000000)); // a header, and the tag has one
    append(mp3, item);
    append(mp3, apeFrame(apeBytes, 0x80000000));
    const std::string lyrics = "LYRICSBEGININD0000210EAL00005Hello";
    appendText(mp3, lyrics);
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", lyrics.size());
    appendText(mp3, size);
    appendText(mp3, "LYRICS200");
    append(mp3, id3v1);
    return mp3;
}

Bytes mp3WithHeaderlessApeTag() {
    Bytes mp3 = corpusBytes("104_audio-mpeg1layer3.mp3");
    Bytes footer(32, 0);
    std::memcpy(footer.data(), "APETAGEX", 8);
    putLe32(footer, 8, 1000);
    putLe32(footer, 12, 32 + 20);
    appendText(mp3, "some old text fields");
    append(mp3, footer);
    return mp3;
}

// A 64-bit executable: stub, PE header, two sections, then a COFF symbol table with its string
// table and a certificate table, which lie beyond every section.
Bytes portableExecutable() {
    Bytes pe(0x400, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    putLe32(pe, 0x3C, 0x80);
    std::memcpy(pe.data() + 0x80, "PE\0\0", 4);
    const std::size_t coff = 0x84;
    pe[coff] = 0x64;
    pe[coff + 1] = 0x86;
    pe[coff + 2] = 2;              // sections
    putLe32(pe, coff + 8, 0x1000); // symbols
    putLe32(pe, coff + 12, 3);     // three of 18 bytes
    pe[coff + 16] = 240;           // optional header bytes
    const std::size_t optional = coff + 20;
    pe[optional] = 0x0B;
    pe[optional + 1] = 0x02;
    putLe32(pe, optional + 36, 0x200);           // file alignment
    putLe32(pe, optional + 60, 0x400);           // header bytes
    putLe32(pe, optional + 108, 16);             // data directories
    putLe32(pe, optional + 112 + 4 * 8, 0x1100); // certificates, at a file offset
    putLe32(pe, optional + 112 + 4 * 8 + 4, 0x80);
    const std::size_t sections = optional + 240;
    for (std::size_t i = 0; i < 2; ++i) {
        std::memcpy(pe.data() + sections + 40 * i, i == 0 ? ".text" : ".data", 5);
        putLe32(pe, sections + 40 * i + 16, 0x600);                                         // raw bytes
        putLe32(pe, sections + 40 * i + 20, static_cast<std::uint32_t>(0x400 + 0x600 * i)); // raw at
    }
    append(pe, randomBytes(0x1000 - 0x400 + 3 * 18, 21));
    Bytes strings(4, 0);
    putLe32(strings, 0, 12);
    appendText(strings, "longname");
    append(pe, strings);
    pe.resize(0x1100, 0);
    append(pe, randomBytes(0x80, 22));
    return pe;
}

Bytes gzipMembers(int members) {
    const Bytes text = corpusBytes("096_textfiles_historicaldates.zip");
    Bytes out;
    for (int member = 0; member < members; ++member) {
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        Bytes packed(deflateBound(&stream, static_cast<uLong>(text.size())) + 32);
        stream.next_in = const_cast<Bytef*>(text.data());
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = packed.data();
        stream.avail_out = static_cast<uInt>(packed.size());
        deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        append(out, packed);
    }
    return out;
}

Bytes gzipFile() {
    return gzipMembers(1);
}

// Concatenated members are one file; a cut leaves the members before it.
Bytes gzipConcatenated() {
    return gzipMembers(2);
}

Bytes bzip2Stream() {
    Bytes text = corpusBytes("028_demo-congrats.wav");
    Bytes packed(text.size() + text.size() / 100 + 600);
    unsigned packedBytes = static_cast<unsigned>(packed.size());
    BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &packedBytes,
                             reinterpret_cast<char*>(text.data()), static_cast<unsigned>(text.size()), 9, 0,
                             0);
    packed.resize(packedBytes);
    return packed;
}

// A two-channel, 8-bit, 16 by 4 Photoshop document: one image resource and a run-length image.
Bytes photoshopDocument() {
    Bytes psd = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 16, 0, 8, 0, 1};
    append(psd, {0, 0, 0, 0});  // no colour mode data
    append(psd, {0, 0, 0, 16}); // resources
    append(psd, {'8', 'B', 'I', 'M', 0x03, 0xED, 0, 0, 0, 0, 0, 3, 1, 2, 3, 0});
    append(psd, {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}); // layers
    append(psd, {0, 1});                         // run-length rows
    for (int row = 0; row < 8; ++row) {
        append(psd, {0, 2});
    }
    for (int row = 0; row < 8; ++row) {
        append(psd, {0xF1, static_cast<std::uint8_t>(row)}); // 16 copies of one byte
    }
    return psd;
}

// An 8 by 8 grey JPEG 2000 codestream in two tiles, the second tile-part running to the end mark.
Bytes jpeg2000Codestream() {
    Bytes j2k = {0xFF, 0x4F, 0xFF, 0x51, 0, 41, 0, 0};
    j2k.resize(j2k.size() + 32, 0);
    putBe32(j2k, 8, 8);  // width
    putBe32(j2k, 12, 8); // height
    putBe32(j2k, 24, 4); // tile width
    putBe32(j2k, 28, 8); // tile height
    append(j2k, {0, 1, 7, 1, 1});
    append(j2k, {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 5, 4, 4, 0, 0});
    append(j2k, {0xFF, 0x5C, 0, 4, 0x40, 0x48});
    for (std::uint16_t tile = 0; tile < 2; ++tile) {
        const Bytes data = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x01, 0x23};
        Bytes part = {0xFF, 0x90, 0, 10, 0, static_cast<std::uint8_t>(tile), 0, 0, 0, 0, 0, 1, 0xFF, 0x93};
        putBe32(part, 6, tile == 0 ? static_cast<std::uint32_t>(part.size() + data.size()) : 0);
        append(j2k, part);
        append(j2k, data);
    }
    append(j2k, {0xFF, 0xD9});
    return j2k;
}

Bytes box(std::string_view type, const Bytes& contents) {
    Bytes out(8, 0);
    putBe32(out, 0, static_cast<std::uint32_t>(8 + contents.size()));
    std::memcpy(out.data() + 4, type.data(), 4);
    append(out, contents);
    return out;
}

Bytes jp2File() {
    Bytes jp2 = fromHex("0000000C6A5020200D0A870A");
    append(jp2, box("ftyp", fromHex("6A70322000000000"
                                    "6A703220")));
    append(jp2, box("jp2h", box("ihdr", fromHex("0000000800000008000107070000"))));
    append(jp2, box("jp2c", jpeg2000Codestream()));
    append(jp2, box("xml ", Bytes(20, ' ')));
    return jp2;
}

// A still image as the reference encoder writes it: 44 by 40, lossless, with an alpha channel.
Bytes jpegXlCodestream() {
    return fromHex(
        "ff0a5045b0a0b81008081000f0034b28b171310febe461141414149404229108679b3106ebdf20759cff3fc660bd1710"
        "01a00f3100e09be1df58f8075ced81b66d1e6fa1c3c56a18fd231ec261ce4ba16e82a632ac099d10d81e8e397db11fcc"
        "67647cd5420d5274f9328366abbc8d562e34ddbc3abedd644c1d9aa99d917ec0f319fde4a2e19c38ff3388cac8d06a18"
        "7dd932722b7bb34b002b0a9e92e31ebe1c99d6c579a8f42cba4f305493128434c1c3ec3d77c2f50cbae99c9779f364e3"
        "ce515dc3394431853163824d4bf2ffa87cebcf5c4c4c1933fdef803f0f426fa4d7105e3cbb4b7e015f190fe1afd54e9c"
        "add8a2e180bf7d6cf273ed0d1be5958e84d9a508eb55f959de00");
}

// The same codestream in the container, in two parts, with Exif data after it.
Bytes jpegXlContainer() {
    const Bytes codestream = jpegXlCodestream();
    Bytes jxl = fromHex("0000000C4A584C200D0A870A");
    append(jxl, box("ftyp", fromHex("6A786C20000000006A786C20")));
    Bytes first(4, 0);
    first.insert(first.end(), codestream.begin(), codestream.begin() + 100);
    append(jxl, box("jxlp", first));
    Bytes last(4, 0);
    putBe32(last, 0, 0x80000001);
    last.insert(last.end(), codestream.begin() + 100, codestream.end());
    append(jxl, box("jxlp", last));
    append(jxl, box("Exif", Bytes(30, 0)));
    return jxl;
}

// Three PAL frames of DV cut from the DV movie in the corpus.
Bytes dvFrames() {
    const Bytes movie = corpusBytes("082_dv-pal-progressive.mov");
    const std::array<std::uint8_t, 4> header = {0x1F, 0x07, 0x00, 0xBF};
    const auto first = std::search(movie.begin(), movie.end(), header.begin(), header.end());
    return Bytes(first, first + 3 * 144000);
}

// The MPEG-2 video of the HDV movie in the corpus, from its first sequence header to the end of the
// media data, closed by the sequence end code a movie's samples leave out.
Bytes mpegVideoStream() {
    const Bytes movie = corpusBytes("080_hdv-720p25.mov");
    const std::array<std::uint8_t, 4> sequence = {0, 0, 1, 0xB3};
    const std::array<std::uint8_t, 4> index = {'m', 'o', 'o', 'v'};
    const auto first = std::search(movie.begin(), movie.end(), sequence.begin(), sequence.end());
    const auto last = std::search(movie.begin(), movie.end(), index.begin(), index.end()) - 4;
    Bytes es(first, last);
    append(es, {0, 0, 1, 0xB7});
    return es;
}

// An MPEG-2 program stream of three packs, each with a system header or a video packet.
Bytes mpegProgramStream() {
    Bytes ps;
    for (std::uint8_t pack = 0; pack < 3; ++pack) {
        append(ps, fromHex("000001BA"
                           "440004000401"
                           "0189C3"
                           "F8"));
        Bytes packet = fromHex("000001E0"
                               "0000");
        Bytes data = randomBytes(2000, 30U + pack);
        std::replace(data.begin(), data.end(), std::uint8_t{0}, std::uint8_t{0x77});
        putBe16(packet, 4, static_cast<std::uint16_t>(data.size()));
        append(ps, packet);
        append(ps, data);
    }
    append(ps, fromHex("000001B9"));
    return ps;
}

Bytes dejaVuFont() {
    return readBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
}

const std::vector<MadeFile> kMadeFiles = {
    {"adts", "AAC", adtsStream, Cut::MeasuredToLastWholePart},
    {"mp3_ape_lyrics_id3v1", "MP3", mp3WithTags, Cut::MeasuredToLastWholePart},
    {"mp3_headerless_ape", "MP3", mp3WithHeaderlessApeTag, Cut::MeasuredToLastWholePart},
    {"pe32plus", "EXE", portableExecutable, Cut::Rejected},
    {"gzip", "GZ", gzipFile, Cut::Rejected},
    {"gzip_two_members", "GZ", gzipConcatenated, Cut::MeasuredToLastWholePart},
    {"bzip2", "BZ2", bzip2Stream, Cut::Rejected},
    {"psd", "PSD", photoshopDocument, Cut::Rejected},
    {"j2k", "J2K", jpeg2000Codestream, Cut::Rejected},
    {"jp2", "JP2", jp2File, Cut::Rejected},
    {"jxl_codestream", "JXL", jpegXlCodestream, Cut::Rejected},
    {"jxl_container", "JXL", jpegXlContainer, Cut::Rejected},
    {"dv", "DV", dvFrames, Cut::MeasuredToLastWholePart},
    {"m2v", "M2V", mpegVideoStream, Cut::Rejected},
    {"mpg", "MPG", mpegProgramStream, Cut::MeasuredToLastWholePart},
    {"ttf", "TTF", dejaVuFont, Cut::Rejected},
};

class MadeFileEnd : public testing::TestWithParam<MadeFile> {};

TEST_P(MadeFileEnd, WholeFileThenCutFile) {
    const Bytes file = GetParam().make();
    ASSERT_GT(file.size(), 64U);
    const FileEnd whole = findFileEnd(withRandomAfter(file, 3000, 40), GetParam().extension);
    EXPECT_TRUE(whole.validated);
    EXPECT_EQ(whole.bytes, file.size());

    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2 + 1));
    const FileEnd measured = findFileEnd(cut, GetParam().extension);
    if (GetParam().cut == Cut::Rejected) {
        EXPECT_FALSE(measured.validated) << measured.bytes;
    } else {
        EXPECT_TRUE(measured.validated);
        EXPECT_LE(measured.bytes, cut.size());
        EXPECT_GE(measured.bytes, file.size() / 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Made, MadeFileEnd, testing::ValuesIn(kMadeFiles),
                         [](const testing::TestParamInfo<MadeFile>& row) { return row.param.name; });

// Every validator on damaged and random input: no crash, no read outside the source, and a result that
// is either the item or a length inside what could be read.
TEST(FileEndRobustness, DamagedAndRandomInputs) {
    struct Target {
        const char* extension;
        std::vector<std::uint8_t> magic;
        const char* sample;
    };
    const std::vector<Target> targets = {
        {"JPG", {0xFF, 0xD8, 0xFF}, "040_Canon_40D.jpg"},
        {"PNG", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'}, "018_julia-set.png"},
        {"GIF", {'G', 'I', 'F', '8', '9', 'a'}, "033_atop.gif"},
        {"BMP", {'B', 'M'}, "097_image-24bit-300ppi.bmp"},
        {"AVI", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "116_gen_camera_mjpeg.avi"},
        {"WAV", {'R', 'I', 'F', 'F'}, "105_audio-wav.wav"},
        {"MOV", {0, 0, 0, 20, 'f', 't', 'y', 'p'}, "079_png.mov"},
        {"M4A", {0, 0, 0, 20, 'f', 't', 'y', 'p'}, "112_has-tags.m4a"},
        {"MKV", {0x1A, 0x45, 0xDF, 0xA3}, "117_gen_testsrc2_h264.mkv"},
        {"PDF", {'%', 'P', 'D', 'F', '-'}, "092_032270.pdf"},
        {"ZIP", {'P', 'K', 3, 4}, "096_textfiles_historicaldates.zip"},
        {"ODT", {'P', 'K', 3, 4}, "071_LibreOfficeWriter_odt_1.3.odt"},
        {"XLS", {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, "102_spreadsheet-excel5-95-calcs.xls"},
        {"SQLITE", {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0}, nullptr},
        {"TIF", {'I', 'I', 42, 0}, "099_image-lzwcompression-300ppi.tif"},
        {"NEF", {'M', 'M', 0, 42}, nullptr},
        {"RAF", {'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 'C', 'C', 'D', '-', 'R', 'A', 'W', ' '}, nullptr},
        {"MP3", {'I', 'D', '3', 3, 0, 0}, "111_silence-44-s.mp3"},
        {"OGG", {'O', 'g', 'g', 'S', 0, 2}, "025_phone-incoming-call.oga"},
        {"RAR", {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00}, nullptr},
        {"RAR", {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00}, nullptr},
        {"7Z", {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C}, nullptr},
        {"FLAC", {'f', 'L', 'a', 'C', 0, 0, 0, 34}, nullptr},
        {"FLV", {'F', 'L', 'V', 1, 5, 0, 0, 0, 9}, nullptr},
        {"WMV",
         {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C},
         nullptr},
        {"AIFF", {'F', 'O', 'R', 'M'}, nullptr},
        {"CAB", {'M', 'S', 'C', 'F'}, nullptr},
        {"TTF", {0, 1, 0, 0, 0, 4}, nullptr},
        {"TTC", {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 2}, nullptr},
        {"WOFF2", {'w', 'O', 'F', '2'}, nullptr},
        {"MID", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}, nullptr},
        {"PST", {'!', 'B', 'D', 'N', 0, 0, 0, 0, 'S', 'M', 14, 0}, nullptr},
        {"ELF", {0x7F, 'E', 'L', 'F', 2, 1, 1}, nullptr},
        {"TAR", {'a'}, nullptr},
        {"AAC", {0xFF, 0xF1, 0x50, 0x80}, nullptr},
        {"EXE", {'M', 'Z'}, nullptr},
        {"GZ", {0x1F, 0x8B, 0x08}, nullptr},
        {"BZ2", {'B', 'Z', 'h', '9', 0x31, 0x41, 0x59, 0x26, 0x53, 0x59}, nullptr},
        {"PSD", {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3}, nullptr},
        {"J2K", {0xFF, 0x4F, 0xFF, 0x51, 0, 41}, nullptr},
        {"JP2",
         {0, 0, 0, 12, 'j', 'P', ' ', ' ', 13, 10, 0x87, 10, 0, 0, 0, 20, 'f', 't', 'y', 'p'},
         nullptr},
        {"JXL", {0xFF, 0x0A}, nullptr},
        {"JXL",
         {0, 0, 0, 12, 'J', 'X', 'L', ' ', 13, 10, 0x87, 10, 0, 0, 0, 20, 'f', 't', 'y', 'p'},
         nullptr},
        {"DV", {0x1F, 0x07, 0x00, 0xBF}, nullptr},
        {"M2V", {0, 0, 1, 0xB3, 0x0B, 0x40, 0x90, 0x23}, nullptr},
        {"MPG", {0, 0, 1, 0xBA, 0x44}, nullptr},
    };
    std::mt19937 random(20240611);
    const auto check = [&](const Bytes& input, const char* extension) {
        const FileEnd inMemory = findFileEnd(input, extension);
        if (inMemory.validated) {
            EXPECT_GT(inMemory.bytes, 0U);
            EXPECT_LE(inMemory.bytes, input.size());
        } else {
            EXPECT_EQ(inMemory.bytes, input.size());
        }
        StrictSource source(input);
        const std::uint64_t itemBytes =
            std::uniform_int_distribution<std::uint64_t>(1, 8)(random) * kSectorSize;
        const std::uint64_t limit =
            std::uniform_int_distribution<std::uint64_t>(0, input.size() + 4096)(random);
        const FileEnd onMedium = findFileEnd(source, 0, itemBytes, extension, limit);
        if (onMedium.validated) {
            EXPECT_LE(onMedium.bytes, std::min<std::uint64_t>(limit, roundUpToSector(input.size())));
        } else {
            EXPECT_EQ(onMedium.bytes, itemBytes);
        }
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.extension);
        Bytes sample;
        if (target.sample != nullptr) {
            sample = corpusBytes(target.sample);
            sample.resize(std::min<std::size_t>(sample.size(), 96 * 1024));
        }
        for (int round = 0; round < 150; ++round) {
            Bytes input;
            if (sample.empty() || round % 3 == 0) {
                // Random bytes behind the type's signature.
                input = randomBytes(std::uniform_int_distribution<std::size_t>(0, 8192)(random),
                                    static_cast<std::uint32_t>(random()));
                std::copy_n(target.magic.begin(), std::min(target.magic.size(), input.size()), input.begin());
            } else {
                input = sample;
                const int flips = std::uniform_int_distribution<int>(1, 40)(random);
                for (int i = 0; i < flips; ++i) {
                    // Damage the structure near the start more often than the bulk of the data.
                    const std::size_t span =
                        random() % 2 == 0 ? std::min<std::size_t>(input.size(), 2048) : input.size();
                    input[random() % span] = static_cast<std::uint8_t>(random());
                }
                if (random() % 2 == 0) {
                    input.resize(random() % (input.size() + 1));
                }
            }
            check(input, target.extension);
        }
    }
}

} // namespace
} // namespace quarry::results
