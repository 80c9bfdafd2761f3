#include "carving/found_groups.h"
#include "carving/naming.h"

#include <gtest/gtest.h>

namespace quarry::carving {
namespace {

TEST(CarvingNaming, NumbersArePaddedToFiveDigits) {
    EXPECT_EQ(Generate_File_Name(1, "GND", "JPG", nullptr), "GND00001.JPG");
    EXPECT_EQ(Generate_File_Name(0, "GND", "JPG", nullptr), "GND00000.JPG");
    EXPECT_EQ(Generate_File_Name(99999, "GND", "JPG", nullptr), "GND99999.JPG");
    EXPECT_EQ(Generate_File_Name(100000, "GND", "JPG", nullptr), "GND100000.JPG");
    EXPECT_EQ(Generate_File_Name(18446744073709551615ULL, "X", "", nullptr), "X18446744073709551615.");
    EXPECT_EQ(Generate_File_UID_Num(7, true, "JPG"), "THD00007.JPG");
    EXPECT_EQ(Generate_File_UID_Num(12345, false, "png"), "GND12345.png");
}

TEST(CarvingNaming, GroupCountReplacesTheNumberOnlyWhenAGroupMatches) {
    FoundFileGroups groups;
    groups.createSignatureListTableRecord("DOC", 41, "", "", "DOC");
    EXPECT_EQ(Generate_File_Name(3, "DOC", "DOC", &groups), "DOC00042.DOC");
    EXPECT_EQ(Generate_File_Name(3, "PDF", "PDF", &groups), "PDF00003.PDF");
    EXPECT_EQ(Generate_File_Name(3, "doc", "doc", &groups), "doc00003.doc");
    // A photo scan passes no groups, so a matching group is ignored.
    EXPECT_EQ(Generate_File_Name(3, "DOC", "DOC", nullptr), "DOC00003.DOC");
}

TEST(CarvingGroups, CountingReplacesTheFirstMatchingGroupInPlace) {
    FoundFileGroups groups;
    groups.createSignatureListTableRecord("JPG", 0, "", "", "JPG");
    groups.createSignatureListTableRecord("AVI", 0, "", "", "AVI");
    groups.createSignatureListTableRecord("AVI", 5, "", "", "AVI");
    ASSERT_EQ(groups.size(), 3u);

    groups.countItem("JPG00001.JPG");
    groups.countItem("AVI00001.AVI");
    groups.countItem("x.jpg");           // case differs: no group
    groups.countItem("noextension");     // empty extension: no group
    groups.countItem("MPEG.TS00001.TS"); // counted by the text after the last dot
    const auto rows = groups.snapshot();
    EXPECT_EQ(rows[0].FileTypes, "JPG");
    EXPECT_EQ(rows[0].NoOfFile, "1");
    EXPECT_EQ(rows[0].FileName, "JPG00001.JPG");
    EXPECT_EQ(rows[0].FilePath, "JPG00001.JPG");
    EXPECT_EQ(rows[1].NoOfFile, "1");
    EXPECT_EQ(rows[2].NoOfFile, "5");
    EXPECT_EQ(rows[2].FileName, "");
    EXPECT_EQ(groups.countFor("AVI"), 1u);
    EXPECT_EQ(groups.countFor("TS"), std::nullopt);
}

TEST(CarvingGroups, CountedGroupTakesTheItemsExtensionAsTypeAndKey) {
    FoundFileGroups groups;
    // A group whose visible type differs from its key is rewritten from the item's name.
    groups.createSignatureListTableRecord("Movie", 9, "a", "b", "MOV");
    groups.countItem("MOV00010.MOV");
    const auto row = groups.snapshot().at(0);
    EXPECT_EQ(row.FileTypes, "MOV");
    EXPECT_EQ(row.NoOfFile, "10");
    EXPECT_EQ(row.FileTypes_Hidden, "MOV");
    groups.clear();
    EXPECT_EQ(groups.size(), 0u);
    EXPECT_EQ(groups.countFor("MOV"), std::nullopt);
}

} // namespace
} // namespace quarry::carving
