#include "carving/header_test.h"
#include "carving/signature_matcher.h"
#include "carving_test_support.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace quarry::carving {
namespace {

using test_support::addRecord;
using test_support::hexBytes;

CompiledSignature signature(const std::string& header, const std::string& position) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "1000", header, position);
    return compileRecord(list, 0);
}

// A sector whose first bytes are `hex`, the rest zero.
std::array<std::uint8_t, kSectorSize> sectorStartingWith(const std::string& hex) {
    std::array<std::uint8_t, kSectorSize> sector{};
    const auto bytes = hexBytes(hex);
    std::copy(bytes.begin(), bytes.end(), sector.begin());
    return sector;
}

bool matches(const std::string& header, const std::string& position, const std::string& sectorHex) {
    return matchesHeader(signature(header, position), sectorStartingWith(sectorHex).data());
}

TEST(CarvingHeaderTest, CompilesTheRecordFields) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "1024", "ffd8ffe0", "1");
    addRecord(list, "NEG", "-1", "aBc", "nn", "");
    addRecord(list, "TXT", " 77abc", "G1", " 5");
    addRecord(list, "BAD", "abc", "", "x", "300");
    const auto records = compileList(list);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].maxSize, 1024u);
    EXPECT_EQ(records[0].header, (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(records[0].position, HeaderPosition::First);
    EXPECT_EQ(records[0].firstByte, 255);
    EXPECT_EQ(records[1].maxSize, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(records[1].header, (std::vector<std::uint8_t>{0xAB}));
    EXPECT_EQ(records[1].position, HeaderPosition::Scan);
    EXPECT_EQ(records[1].firstByte, 0);
    EXPECT_EQ(records[2].maxSize, 77u);
    EXPECT_EQ(records[2].header, (std::vector<std::uint8_t>{0x01}));
    EXPECT_EQ(records[2].position, HeaderPosition::Offset);
    EXPECT_EQ(records[2].offset, 4);
    EXPECT_EQ(records[2].recordIndex, 2u);
    EXPECT_EQ(records[3].maxSize, 0u);
    EXPECT_TRUE(records[3].header.empty());
    EXPECT_EQ(records[3].offset, -1);
    EXPECT_EQ(records[3].firstByte, 300);
    EXPECT_EQ(records[3].headerText, "");
    EXPECT_EQ(records[3].positionText, "x");

    // Characters, not bytes, make the header: each non-ASCII character is one digit worth 0.
    addRecord(list, "UTF", "0",
              "A\xC3\xA9\xE2\x82\xAC"
              "1",
              "1", "");
    EXPECT_EQ(compileRecord(list, 4).header, (std::vector<std::uint8_t>{0xA0, 0x01}));

    list.pop_back(); // a partial record is left out
    EXPECT_EQ(compileList(list).size(), 4u);
}

TEST(CarvingHeaderTest, PositionOneMeansTheFirstByte) {
    EXPECT_TRUE(matches("AABBCC", "1", "AABBCC"));
    EXPECT_TRUE(matches("aabbcc", "1", "AABBCCDD"));
    EXPECT_FALSE(matches("AABBCC", "1", "00AABBCC"));
    EXPECT_FALSE(matches("AABBCC", "1", "AABBCD"));
    // Odd digits are dropped; fewer than two give no header at all.
    EXPECT_TRUE(matches("AABBC", "1", "AABB00"));
    EXPECT_FALSE(matches("A", "1", "0A"));
    EXPECT_FALSE(matches("", "nn", "00"));
}

TEST(CarvingHeaderTest, ScanMovesOnByTheEqualBytesAndNeedsTheFirstByteAgain) {
    EXPECT_TRUE(matches("AABBCC", "nn", "AABBCC"));
    EXPECT_TRUE(matches("AABBCC", "nn", "AAAABBCC"));
    EXPECT_FALSE(matches("AABBCC", "nn", "AA00AABBCC"));
    EXPECT_FALSE(matches("AABBCC", "nn", "00AABBCC"));
    // Two equal bytes move the position on by two.
    EXPECT_TRUE(matches("AABBCC", "nn", "AABBAABBCC"));
    EXPECT_TRUE(matches("AABBCC", "nn", "AABBAAAABBCC"));
    EXPECT_FALSE(matches("AABBCC", "nn", "AABB00AABBCC"));
    EXPECT_TRUE(matches("AABB", "nn", "AAAAAABB"));
}

TEST(CarvingHeaderTest, NumberedPositionIsOneBased) {
    EXPECT_TRUE(matches("AABBCC", "5", "00000000AABBCC"));
    EXPECT_FALSE(matches("AABBCC", "5", "000000AABBCC"));
    EXPECT_FALSE(matches("AABBCC", "5", "0000000000AABBCC"));
    EXPECT_TRUE(matches("AABBCC", "01", "AABBCC"));
    EXPECT_TRUE(matches("AABBCC", " 2", "00AABBCC"));
    for (const char* never : {"0", "-3", "NN", "abc", "", "-9223372036854775808"}) {
        EXPECT_FALSE(matches("AABBCC", never, "AABBCC")) << never;
    }
}

TEST(CarvingHeaderTest, NothingOutsideTheSectorIsCompared) {
    // The bytes after the sector would complete each header.
    std::array<std::uint8_t, 2 * kSectorSize> memory{};
    std::uint8_t* sector = memory.data();
    const auto place = [&](std::size_t at, const std::string& hex) {
        const auto bytes = hexBytes(hex);
        std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(at));
    };

    place(506, "AABBCC");
    EXPECT_TRUE(matchesHeader(signature("AABBCC", "507"), sector));
    EXPECT_FALSE(matchesHeader(signature("AABBCC", "508"), sector));
    place(507, "AABBCC");
    EXPECT_FALSE(matchesHeader(signature("AABBCC", "508"), sector));

    memory.fill(0);
    place(506, "AABBCCDDEEFF11");
    EXPECT_FALSE(matchesHeader(signature("AABBCCDDEEFF11", "507"), sector));
    EXPECT_TRUE(matchesHeader(signature("AABBCCDDEEFF", "507"), sector));

    memory.fill(0);
    place(0, "AA");
    place(1, "AA");
    for (std::size_t i = 2; i < 510; ++i) {
        memory[i] = 0xAA;
    }
    place(510, "AABBCC");
    EXPECT_FALSE(matchesHeader(signature("AABBCC", "nn"), sector));
    place(509, "AABBCC");
    EXPECT_TRUE(matchesHeader(signature("AABBCC", "nn"), sector));

    std::string longHeader(2 * (kSectorSize + 1), 'A');
    memory.fill(0xAA);
    EXPECT_FALSE(matchesHeader(signature(longHeader, "1"), sector));
    longHeader.resize(2 * kSectorSize);
    EXPECT_TRUE(matchesHeader(signature(longHeader, "1"), sector));
}

TEST(CarvingHeaderTest, FirstByteValueMustStandWhereTheComparisonStarts) {
    signatures::SignatureList list;
    addRecord(list, "A", "1000", "AABB", "1", "187"); // 0xBB, not the header's first byte
    addRecord(list, "B", "1000", "00BB", "1", "");    // empty reads as 0
    addRecord(list, "C", "1000", "AABB", "1", "426"); // beyond a byte
    const auto records = compileList(list);
    EXPECT_FALSE(matchesHeader(records[0], sectorStartingWith("AABB").data()));
    EXPECT_FALSE(matchesHeader(records[0], sectorStartingWith("BBBB").data()));
    EXPECT_TRUE(matchesHeader(records[1], sectorStartingWith("00BB").data()));
    EXPECT_FALSE(matchesHeader(records[2], sectorStartingWith("AABB").data()));
}

// The dispatch by first byte must pick the record that trying every record in list order
// picks, on lists and sectors made of few byte values so that many records compete.
TEST(CarvingHeaderTest, MatcherFindsTheFirstMatchingRecordInListOrder) {
    std::mt19937_64 random(7);
    const std::array<const char*, 4> digits = {"AA", "BB", "00", "AB"};
    const std::array<const char*, 10> positions = {"1", "nn", "1", "2", "3", "nn", "507", "0", "x", "510"};
    for (int round = 0; round < 200; ++round) {
        signatures::SignatureList list;
        const int records = 1 + static_cast<int>(random() % 12);
        for (int r = 0; r < records; ++r) {
            std::string header;
            const int length = static_cast<int>(random() % 4);
            for (int k = 0; k < length; ++k) {
                header += digits[random() % digits.size()];
            }
            const std::string position = positions[random() % positions.size()];
            const std::optional<std::string> firstByte =
                random() % 5 == 0 ? std::optional(std::to_string(random() % 3 * 85)) : std::nullopt;
            addRecord(list, "E" + std::to_string(r), "0", header, position, firstByte);
        }
        const SignatureMatcher matcher(list);
        const auto compiled = compileList(list);
        for (int s = 0; s < 300; ++s) {
            std::array<std::uint8_t, kSectorSize> sector{};
            const std::array<std::uint8_t, 4> values = {0xAA, 0xBB, 0x00, 0xAB};
            for (auto& byte : sector) {
                byte = values[random() % values.size()];
            }
            std::size_t expected = SignatureMatcher::npos;
            for (std::size_t r = 0; r < compiled.size(); ++r) {
                if (matchesHeader(compiled[r], sector.data())) {
                    expected = r;
                    break;
                }
            }
            ASSERT_EQ(matcher.find(sector.data()), expected) << "round " << round;
        }
    }
}

TEST(CarvingHeaderTest, SameHeaderGroupsRunFromTheMatchedRecordOn) {
    signatures::SignatureList list;
    addRecord(list, "A", "0", "AABB", "1");
    addRecord(list, "B", "0", "AABB", "nn");
    addRecord(list, "C", "0", "AABB", "1", "");
    addRecord(list, "D", "0", "aabb", "1");
    addRecord(list, "E", "0", "AABB", "1");
    const SignatureMatcher matcher(list);
    const auto from = [&](std::size_t r) {
        const auto span = matcher.sameHeaderFrom(r);
        return std::vector<std::uint32_t>(span.begin(), span.end());
    };
    EXPECT_EQ(from(0), (std::vector<std::uint32_t>{0, 2, 4}));
    EXPECT_EQ(from(2), (std::vector<std::uint32_t>{2, 4}));
    EXPECT_EQ(from(1), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(from(3), (std::vector<std::uint32_t>{3}));
}

} // namespace
} // namespace quarry::carving
