#include "carving/found_groups.h"
#include "signatures/checklist.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quarry::signatures {
namespace {

void addRecord(SignatureList& list, const std::string& extension, const std::string& description) {
    list.insert(list.end(), {extension, "1024", "AABB", "1", "cat " + extension, description, "170"});
}

std::vector<std::string> extensionsOf(const SignatureList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); i += kRecordFields) {
        out.push_back(list[i]);
    }
    return out;
}

std::vector<std::string> groupTypes(const carving::FoundFileGroups& groups) {
    std::vector<std::string> out;
    for (const carving::FoundFileGroup& g : groups.snapshot()) {
        out.push_back(g.FileTypes);
        EXPECT_EQ(g.NoOfFile, "0");
        EXPECT_EQ(g.FileName, "");
        EXPECT_EQ(g.FilePath, "");
        EXPECT_EQ(g.FileTypes_Hidden, g.FileTypes);
    }
    return out;
}

class CheckListTest : public ::testing::Test {
protected:
    void SetUp() override {
        addRecord(general_, "JPG", "first jpeg");
        addRecord(general_, "AVI", "avi");
        addRecord(general_, "JPG", "second jpeg");
        addRecord(thorough_, "AVI", "thorough avi");
        addRecord(thorough_, "MOV", "movie");
    }

    SignatureList general_;
    SignatureList thorough_;
    carving::FoundFileGroups groups_;
};

TEST_F(CheckListTest, RowsFollowTheGeneralListThenTheThoroughOnlyTypes) {
    const CheckList rows = buildCheckList(general_, thorough_, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Extension, "JPG");
    EXPECT_EQ(rows[0].Description, "first jpeg");
    EXPECT_EQ(rows[0].Thoro, "");
    EXPECT_EQ(rows[1].Extension, "AVI");
    EXPECT_EQ(rows[1].Description, "avi");
    EXPECT_EQ(rows[1].Thoro, "");
    EXPECT_EQ(rows[2].Extension, "MOV");
    EXPECT_EQ(rows[2].Thoro, "YES");
    EXPECT_EQ(rows[2].Category, "cat MOV");
    for (const CheckListRow& row : rows) {
        EXPECT_EQ(row.State, 1);
    }
    EXPECT_EQ(buildCheckList(general_, thorough_, false).size(), 2u);
}

TEST_F(CheckListTest, ExtensionsAreComparedExactly) {
    SignatureList general;
    addRecord(general, "jpg", "lower");
    addRecord(general, "JPG", "upper");
    EXPECT_EQ(buildCheckList(general, {}, true).size(), 2u);
}

TEST_F(CheckListTest, UntickedTypeLeavesBothWorkingListsAndGetsNoGroup) {
    CheckList rows = buildCheckList(general_, thorough_, true);
    rows[1].State = 0; // AVI
    EXPECT_FALSE(allRowsTicked(rows));
    const ConfirmedLists lists = carving::confirmCheckList(rows, general_, thorough_, true, groups_);
    EXPECT_EQ(extensionsOf(lists.CheckListHeader_Array), (std::vector<std::string>{"JPG", "JPG"}));
    EXPECT_EQ(extensionsOf(lists.CheckListHeader_Adv_Array), (std::vector<std::string>{"MOV"}));
    EXPECT_EQ(lists.CheckListHeader_Array.size(), 14u);
    EXPECT_EQ(lists.CheckListHeader_Array[5], "first jpeg");
    EXPECT_EQ(lists.CheckListHeader_Array[12], "second jpeg");
    EXPECT_EQ(groupTypes(groups_), (std::vector<std::string>{"JPG", "MOV"}));
    EXPECT_TRUE(Check_For_One_Extension_Selection(rows));
}

TEST_F(CheckListTest, ThoroughOffSearchesNoThoroughTypeButTheirTickedRowsStillGetGroups) {
    const CheckList rows = buildCheckList(general_, thorough_, true);
    const ConfirmedLists lists = carving::confirmCheckList(rows, general_, thorough_, false, groups_);
    EXPECT_EQ(lists.CheckListHeader_Array, general_);
    EXPECT_TRUE(lists.CheckListHeader_Adv_Array.empty());
    EXPECT_EQ(groupTypes(groups_), (std::vector<std::string>{"JPG", "AVI", "MOV"}));
}

TEST_F(CheckListTest, SelectAllAndNone) {
    CheckList rows = buildCheckList(general_, thorough_, true);
    selectAll(rows, 0);
    EXPECT_FALSE(Check_For_One_Extension_Selection(rows));
    EXPECT_FALSE(allRowsTicked(rows));

    // Nothing ticked: the working lists keep no record, the groups are empty.
    const ConfirmedLists lists = carving::confirmCheckList(rows, general_, thorough_, true, groups_);
    EXPECT_TRUE(lists.CheckListHeader_Array.empty());
    EXPECT_TRUE(lists.CheckListHeader_Adv_Array.empty());
    EXPECT_EQ(groups_.size(), 0u);

    selectAll(rows, 1);
    EXPECT_TRUE(allRowsTicked(rows));
    EXPECT_TRUE(Check_For_One_Extension_Selection(rows));
    selectAll(rows, 2); // only the value 1 ticks
    EXPECT_FALSE(Check_For_One_Extension_Selection(rows));
}

TEST_F(CheckListTest, ConfirmationRebuildsTheGroupsFromScratch) {
    CheckList rows = buildCheckList(general_, thorough_, true);
    carving::confirmCheckList(rows, general_, thorough_, true, groups_);
    groups_.countItem("JPG00001.JPG");
    rows[0].State = 0;
    carving::confirmCheckList(rows, general_, thorough_, true, groups_);
    EXPECT_EQ(groupTypes(groups_), (std::vector<std::string>{"AVI", "MOV"}));
}

// Only thorough-only types ticked with the thorough pass off leaves nothing to scan for.
TEST_F(CheckListTest, NothingToScanWhenOnlyThoroughTypesAreTickedAndThoroughIsOff) {
    CheckList rows = buildCheckList(general_, thorough_, true);
    selectAll(rows, 0);
    rows[2].State = 1; // MOV, thorough only
    EXPECT_TRUE(nothingToScan(rows, carving::confirmCheckList(rows, general_, thorough_, false, groups_)));
    EXPECT_FALSE(nothingToScan(rows, carving::confirmCheckList(rows, general_, thorough_, true, groups_)));
    rows[1].State = 1;
    EXPECT_FALSE(nothingToScan(rows, carving::confirmCheckList(rows, general_, thorough_, false, groups_)));
    selectAll(rows, 0);
    EXPECT_FALSE(nothingToScan(rows, carving::confirmCheckList(rows, general_, thorough_, false, groups_)));
}

TEST(CheckListEmpty, EmptySignatureListsGiveNoRowsAndNoSelection) {
    const CheckList rows = buildCheckList({}, {}, true);
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(Check_For_One_Extension_Selection(rows));
    EXPECT_TRUE(allRowsTicked(rows));
}

} // namespace
} // namespace quarry::signatures
