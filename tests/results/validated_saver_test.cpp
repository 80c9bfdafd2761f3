#include "carving/memory_source.h"
#include "common/sector.h"
#include "disk_image.h"
#include "faulty_source.h"
#include "results/validated_saver.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace quarry::results {
namespace {

using namespace quarry::test;

// Random bytes with corpus files written at chosen sectors.
std::vector<std::uint8_t>
medium(std::uint64_t sectorCount,
       const std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>& files) {
    auto bytes = buildImage(sectorCount, Filler::Random, {}, 7);
    for (const auto& [sector, file] : files)
        std::copy(file.begin(), file.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize));
    return bytes;
}

TEST(ValidatedSaver, SectorItemsAreSavedToTheirRealEnd) {
    const auto png = corpusBytes("018_julia-set.png");
    const auto pdf = corpusBytes("092_032270.pdf");
    const auto mov = corpusBytes("079_png.mov");
    ASSERT_FALSE(png.empty() || pdf.empty() || mov.empty());
    const auto bytes = medium(1200, {{10, png}, {500, pdf}, {600, mov}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::File);
    SavedExtents extents;
    ValidatedSaver validated(saver, &source, extents);

    struct Case {
        const char* name;
        std::uint64_t start, end;
        const std::vector<std::uint8_t>* file; // null: not saved again
        const char* duplicateOf;
        const char* partOf;
    };
    // Items cut short by the next header, items running on into the next file, the same file
    // found again (as by the thorough pass, or under a record of another type of its family),
    // and a header inside a file saved already.
    for (const auto& c :
         {Case{"PNG00001.PNG", 10, 20, &png, "", ""}, Case{"PDF00001.PDF", 500, 600, &pdf, "", ""},
          Case{"MP400001.MP4", 600, 610, &mov, "", ""},
          Case{"PNG00002.PNG", 10, 501, nullptr, "PNG00001.PNG", ""},
          Case{"MOV00001.MOV", 600, 601, nullptr, "MP400001.MP4", ""},
          Case{"XYZ00001.XYZ", 601, 602, nullptr, "", "MP400001.MP4"},
          Case{"XYZ00002.XYZ", 690, 800, nullptr, "", "MP400001.MP4"}}) {
        const auto item = validated.saveSectors(c.name, c.start, c.end);
        EXPECT_EQ(item.duplicateOf, c.duplicateOf) << c.name;
        EXPECT_EQ(item.partOf, c.partOf) << c.name;
        if (c.file == nullptr) {
            EXPECT_TRUE(item.skipped && !item.save.ok) << c.name;
            continue;
        }
        ASSERT_TRUE(item.save.ok) << c.name << ": " << item.save.error;
        EXPECT_EQ(item.check, FileCheck::Verified) << c.name;
        EXPECT_EQ(item.save.bytes, c.file->size()) << c.name;
        EXPECT_EQ(readBytes(item.save.path), *c.file) << c.name;
    }
    // The movie's brand says QuickTime, whatever record found it.
    EXPECT_EQ(readBytes(saver.folder() / "MOV" / "MP400001.MOV"), mov);

    // An unreadable sector inside the document costs only itself: its end is still found.
    carving::FaultySource faulty(source);
    faulty.failSector(510);
    SavedExtents fresh;
    ValidatedSaver damaged(saver, &faulty, fresh);
    const auto item = damaged.saveSectors("PDF00002.PDF", 500, 600);
    EXPECT_EQ(item.check, FileCheck::Verified);
    EXPECT_EQ(item.save.unreadableSectors, 1u);
    auto expected = pdf;
    std::fill_n(expected.begin() + 10 * kSectorSize, kSectorSize, std::uint8_t{0});
    EXPECT_EQ(readBytes(item.save.path), expected);
}

TEST(ValidatedSaver, BrokenOrUnknownFilesKeepTheirSectors) {
    auto pdf = corpusBytes("092_032270.pdf");
    ASSERT_GT(pdf.size(), 20 * kSectorSize);
    // The medium ends in the middle of the document.
    const std::vector<std::uint8_t> cut(pdf.begin(), pdf.begin() + 20 * kSectorSize);
    const auto bytes = medium(30, {{10, cut}, {2, {'%', 'P', 'D', 'F', '-', '1'}}});
    carving::MemorySource source(bytes);
    struct Case {
        const char* name;
        std::uint64_t start;
        bool keepRejected;
        FileCheck check;
        const char* folder; // empty: not saved
    };
    for (const auto& c : {Case{"PDF00001.PDF", 10, false, FileCheck::Rejected, ""},
                          Case{"PDF00002.PDF", 2, false, FileCheck::Rejected, ""},
                          Case{"XYZ00001.XYZ", 10, false, FileCheck::Unverified, "XYZ"},
                          Case{"PDF00001.PDF", 10, true, FileCheck::Rejected, "Unverified"},
                          Case{"XYZ00001.XYZ", 10, true, FileCheck::Unverified, "XYZ"}}) {
        TempDir dir;
        ItemSaver saver(dir.path(), SearchKind::File);
        SavedExtents extents;
        ValidatedSaver validated(saver, &source, extents, c.keepRejected);
        const auto item = validated.saveSectors(c.name, c.start, 30);
        EXPECT_EQ(item.check, c.check) << c.name;
        EXPECT_EQ(item.save.ok, *c.folder != '\0') << c.name << ": " << item.save.error;
        EXPECT_TRUE(item.save.error.empty()) << c.name;
        if (item.save.ok) {
            EXPECT_EQ(item.save.path, saver.folder() / c.folder / c.name);
            EXPECT_EQ(readBytes(item.save.path), sectorSlice(bytes, c.start, 30)) << c.name;
        }
    }
}

TEST(ValidatedSaver, PhotosAreMeasuredInTheirBytesThenOnTheMedium) {
    const auto jpg = corpusBytes("040_Canon_40D.jpg");
    const auto png = corpusBytes("018_julia-set.png");
    ASSERT_FALSE(jpg.empty() || png.empty());
    // The PNG is cut off after four sectors by random bytes.
    const std::vector<std::uint8_t> pngStart(png.begin(), png.begin() + 4 * kSectorSize);
    const auto bytes = medium(100, {{3, jpg}, {60, pngStart}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::Photo);
    SavedExtents extents;
    SavedExtents elsewhere;
    ValidatedSaver onMedium(saver, &source, extents, true);
    ValidatedSaver bytesOnly(saver, nullptr, elsewhere, true);

    // An item cut short, as by a picture embedded on a sector boundary, is read whole.
    const auto cutShort = onMedium.savePhoto("GND00001.JPG", sectorSlice(bytes, 3, 7), 3);
    ASSERT_TRUE(cutShort.save.ok) << cutShort.save.error;
    EXPECT_EQ(cutShort.check, FileCheck::Verified);
    EXPECT_EQ(readBytes(cutShort.save.path), jpg);
    const auto whole = wholePhotoFromMedium("GND00001.JPG", sectorSlice(bytes, 3, 7), 3, source, 1 << 20);
    EXPECT_EQ(whole, std::optional(jpg));
    EXPECT_EQ(wholePhotoFromMedium("GND00001.JPG", sectorSlice(bytes, 3, 50), 3, source, 1 << 20),
              std::nullopt);

    // The same file in an item that holds it all is the same file.
    const auto again = onMedium.savePhoto("THD00001.JPG", sectorSlice(bytes, 3, 50), 3);
    EXPECT_EQ(again.duplicateOf, "GND00001.JPG");
    EXPECT_FALSE(again.save.ok);

    const auto noMedium = bytesOnly.savePhoto("GND00003.JPG", sectorSlice(bytes, 3, 7), 3);
    ASSERT_TRUE(noMedium.save.ok) << noMedium.save.error;
    EXPECT_EQ(noMedium.check, FileCheck::Rejected);
    EXPECT_EQ(noMedium.save.path, saver.folder() / kRejectedFolder / "GND00003.JPG");
    EXPECT_EQ(readBytes(noMedium.save.path), sectorSlice(bytes, 3, 7));

    const auto broken = onMedium.savePhoto("GND00004.PNG", sectorSlice(bytes, 60, 64), 60);
    ASSERT_TRUE(broken.save.ok) << broken.save.error;
    EXPECT_EQ(broken.check, FileCheck::Rejected);
    EXPECT_EQ(readBytes(broken.save.path), sectorSlice(bytes, 60, 64));

    // A sector item with no medium to read cannot be saved, and says so.
    const auto unreadable = bytesOnly.saveSectors("AVI00001.AVI", 0, 4);
    EXPECT_FALSE(unreadable.save.ok);
    EXPECT_FALSE(unreadable.save.error.empty());
}

// A JPEG whose check fails is looked for in two pieces; the picture in its gap is a file of its
// own, and a first piece whose second is gone stays rejected.
TEST(ValidatedSaver, JpegsInTwoPiecesAreSavedJoined) {
    const auto jpg = corpusBytes("053_DSCN0010.jpg");
    const auto other = corpusBytes("044_Canon_PowerShot_S40.jpg");
    ASSERT_FALSE(jpg.empty() || other.empty());
    const std::vector<std::uint8_t> first(jpg.begin(), jpg.begin() + 64 * kSectorSize);
    const std::vector<std::uint8_t> rest(jpg.begin() + 64 * kSectorSize, jpg.end());
    const auto bytes = medium(1000, {{8, first},
                                     {72, other},
                                     {136, rest},
                                     {700, first},
                                     {764, std::vector<std::uint8_t>(64 * kSectorSize)}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::File);
    SavedExtents extents;
    ValidatedSaver validated(saver, &source, extents);

    const auto joined = validated.saveSectors("JPG00001.JPG", 8, 73);
    ASSERT_TRUE(joined.save.ok) << joined.save.error;
    EXPECT_EQ(joined.check, FileCheck::Verified);
    EXPECT_EQ(joined.pieces, 2U);
    EXPECT_GT(joined.fragmentCandidates, 0U);
    EXPECT_EQ(readBytes(joined.save.path), jpg);
    const auto inGap = validated.saveSectors("JPG00002.JPG", 72, 137);
    ASSERT_TRUE(inGap.save.ok) << inGap.save.error;
    EXPECT_EQ(readBytes(inGap.save.path), other);
    EXPECT_EQ(validated.saveSectors("JPG00003.JPG", 8, 73).partOf, "JPG00001.JPG");

    const auto alone = validated.saveSectors("JPG00004.JPG", 700, 1000);
    EXPECT_EQ(alone.check, FileCheck::Rejected);
    EXPECT_TRUE(alone.skipped && !alone.save.ok);
    EXPECT_EQ(alone.pieces, 0U);
}

// Containers that several types share: the verified file's structure names its type.
TEST(ValidatedSaver, FamilyTypesComeFromTheStructure) {
    struct Case {
        const char* file;
        const char* family; // the extension of the record that found it
        const char* type;
    };
    for (const auto& c :
         {Case{"066_text_only.doc", "OLE", "DOC"}, Case{"103_text-msword-pc.doc", "OLE", "DOC"},
          Case{"064_MonteCarlo.xls", "OLE", "XLS"}, Case{"102_spreadsheet-excel5-95-calcs.xls", "OLE", "XLS"},
          Case{"068_ecdl_paris2001.ppt", "OLE", "PPT"}, Case{"029_default.docx", "OOXML", "DOCX"},
          Case{"070_PDF-Sample-Document-Fully-Featured-Layout.docx", "OOXML", "DOCX"},
          Case{"121_gen_book.xlsx", "OOXML", "XLSX"}, Case{"071_LibreOfficeWriter_odt_1.3.odt", "ZIP", "ODT"},
          Case{"072_LibreOfficeCalc_ods_1.3.ods", "ZIP", "ODS"},
          Case{"094_images_severalformats_historicaldates.zip", "ZIP", "ZIP"},
          Case{"079_png.mov", "MP4", "MOV"}, Case{"109_sample.mp4", "MOV", "MP4"},
          Case{"112_has-tags.m4a", "M4A", "MP4"}, Case{"028_demo-congrats.wav", "WAV", "WAV"},
          Case{"116_gen_camera_mjpeg.avi", "AVI", "AVI"}}) {
        const auto bytes = corpusBytes(c.file);
        ASSERT_FALSE(bytes.empty()) << c.file;
        const auto end = findFileEnd(bytes, c.family);
        EXPECT_TRUE(end.validated) << c.file;
        EXPECT_EQ(end.type, c.type) << c.file;
        EXPECT_EQ(nameForType(std::string("X00001.") + c.family, end.type), std::string("X00001.") + c.type);
    }
}

} // namespace
} // namespace quarry::results
