#include "signatures/definition_parser.h"
#include "test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace quarry::signatures {
namespace {

SignatureList parse(std::string_view text) {
    SignatureList out;
    ParseState state;
    parseDefinitionText(text, out, state);
    return out;
}

// Six counting lines with the given extension and header values.
std::string group(const std::string& extension, const std::string& headerLine) {
    return "Extension : " + extension + "\nSize : 1024\n" + headerLine + "\nPosition : 1\nKind : image\n" +
           "Description : text\n";
}

TEST(HexConversion, DigitsOfBothCasesAndInvalidCharacters) {
    EXPECT_EQ(hex2dec("0"), 0);
    EXPECT_EQ(hex2dec("9"), 9);
    EXPECT_EQ(hex2dec("a"), 10);
    EXPECT_EQ(hex2dec("F"), 15);
    EXPECT_EQ(hex2dec("g"), 0);
    EXPECT_EQ(hex2dec("Fz"), 15); // only the first character counts
    EXPECT_EQ(hex2dec(""), 0);

    EXPECT_EQ(hex2int("0F"), 15);
    EXPECT_EQ(hex2int("F0"), 240);
    EXPECT_EQ(hex2int("G1"), 1);
    EXPECT_EQ(hex2int("ff"), 255);
    EXPECT_EQ(hex2int("fF"), 255);
    EXPECT_EQ(hex2int("7"), 7);
    EXPECT_EQ(hex2int(""), 0);
    EXPECT_EQ(hex2int("100"), 256);
    EXPECT_EQ(hex2int("FFFFFFFF"), -1); // 32-bit arithmetic
}

TEST(DefinitionParser, DotRuleCutsAtTheFirstDotAndUpperCasesTheRest) {
    const SignatureList list = parse(group(".jpg", "Header : FFD8") + group("jpg", "Header : FFD8") +
                                     group("Photo. jpeg", "Header : FFD8") + group("a.b.c", "Header : FFD8") +
                                     group(".\xC3\xA9t\xC3\xA9", "Header : FFD8"));
    ASSERT_EQ(list.size(), 35u);
    EXPECT_EQ(list[0], "JPG");
    EXPECT_EQ(list[7], "jpg");
    EXPECT_EQ(list[14], " JPEG");
    EXPECT_EQ(list[21], "B.C");
    EXPECT_EQ(list[28], "\xC3\x89T\xC3\x89"); // ÉTÉ
}

// The header field as stored, and the first-byte value read from the "Header :" line alone.
TEST(DefinitionParser, HeaderLineGivesTheFirstByteValue) {
    const struct {
        std::string text, header, firstByte;
    } rows[] = {
        {group(".jpg", "Header : ffd8ffe0"), "ffd8ffe0", "255"}, // the header field keeps its case
        {group(".png", "Header : 89504E47"), "89504E47", "137"},
        // A value with a dot is cut, but its first byte comes from the whole value.
        {group(".x", "Header : 4a.b1"), "B1", "74"},
        // Only the exact key is a header line.
        {group(".a", "Header:FF"), "FF", ""},
        {group(".b", " Header : FF"), "FF", ""},
        {group(".c", "header : FF"), "FF", ""},
        {group(".d", "Header  : FF"), "FF", ""},
        {"a : .x\nb : 1\nc : FF\nd : 1\ne : e\nf : f\n", "FF", ""},
        // Short values use the characters there are; a non-ASCII character is one invalid digit.
        {group(".a", "Header : F"), "F", "15"},
        {group(".b", "Header :"), "", "0"},
        {group(".c", "Header :  \t "), "", "0"},
        {group(".d", "Header : \xC3\xA9z"), "\xC3\xA9z", "0"},
    };
    for (const auto& row : rows) {
        const SignatureList list = parse(row.text);
        ASSERT_EQ(list.size(), 7u) << row.text;
        EXPECT_EQ(list[2], row.header) << row.text;
        EXPECT_EQ(list[6], row.firstByte) << row.text;
    }
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse("\n\n   \r\n").empty());
    EXPECT_TRUE(parse("just a comment\nanother one\n").empty());
}

TEST(DefinitionParser, KeyEndsAtTheFirstColonAndAnyTextMayStandBeforeIt) {
    const SignatureList list = parse("x: .mp4\n: 10:20\nHeader : 0000:0018\nno colon here\n\n 1 : 5\n"
                                     "Kind:video\nDescription :  a: b  \n");
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0], "MP4");
    EXPECT_EQ(list[1], "10:20");
    EXPECT_EQ(list[2], "0000:0018");
    EXPECT_EQ(list[3], "5");
    EXPECT_EQ(list[4], "video");
    EXPECT_EQ(list[5], "a: b");
    EXPECT_EQ(list[6], "0");
}

TEST(DefinitionParser, CarriageReturnsAndUnicodeWhiteSpaceAreTrimmed) {
    const std::string lf = group(".jpg", "Header : FFD8FF") + group(".png", "Header : 89504E47");
    std::string crlf;
    for (const char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    EXPECT_EQ(parse(crlf), parse(lf));

    // NBSP, EN QUAD, HAIR SPACE, LINE SEPARATOR, IDEOGRAPHIC SPACE, NEL, tab, vertical tab.
    const SignatureList list = parse("E : \xC2\xA0\xE2\x80\x80 jpg\xE2\x80\x8A\xE2\x80\xA8\xE3\x80\x80\n"
                                     "S : \xC2\x85\t\v1024\r\n"
                                     "Header : \xE2\x80\xA9 ab\xE2\x80\x89\n"
                                     "P : 1\nK : k\nD : \xE2\x80\x8B"
                                     "d\n");
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0], "jpg");
    EXPECT_EQ(list[1], "1024");
    EXPECT_EQ(list[2], "ab");
    EXPECT_EQ(list[6], "171");
    EXPECT_EQ(list[5], "\xE2\x80\x8B"
                       "d"); // ZERO WIDTH SPACE is no white space
}

// Records whose numbers no sector or 64-bit size allows are dropped whole; the rest keep the
// reading rules (no digits give 0, a negative size is a huge limit, "1" and "nn" are words).
TEST(DefinitionParser, RecordsWithImpossibleNumbersAreDropped) {
    const std::string header512(1024, 'A');
    const struct {
        std::string size, header, position;
        bool kept;
    } rows[] = {
        {"1024", "FFD8", "1", true},
        {"none", "FFD8", "nn", true},
        {"-1", "FFD8", "1", true},
        {"9223372036854775807", "FFD8", "1", true},
        {"-9223372036854775808", "FFD8", "1", true},
        {"9223372036854775808", "FFD8", "1", false},
        {"99999999999999999999", "FFD8", "1", false},
        {"-99999999999999999999", "FFD8", "1", false},
        {"1024", "FFD8", "99999999999999999999", false},
        {"1024", "FFD8", "-99999999999999999999", false},
        {"1024", "FFD8", "9223372036854775807", false},
        {"1024", "FFD8", "0", false},
        {"1024", "FFD8", "-3", false},
        {"1024", "FFD8", "first", false},
        {"1024", "FFD8", "511", true},
        {"1024", "FFD8", "512", false},
        {"1024", "FF", "512", true},
        {"1024", header512, "1", true},
        {"1024", header512, "nn", true},
        {"1024", header512 + "00", "nn", false},
        {"1024", header512, "2", false},
    };
    for (const auto& row : rows) {
        const std::string text = group(".ok", "Header : 11") + "E : .x\nS : " + row.size +
                                 "\nHeader : " + row.header + "\nP : " + row.position + "\nK : k\nD : d\n" +
                                 group(".end", "Header : 22");
        SignatureList list;
        ParseState state;
        const std::size_t dropped = parseDefinitionText(text, list, state);
        const std::string what = row.size + " / " + row.header.substr(0, 8) + " / " + row.position;
        EXPECT_EQ(dropped, row.kept ? 0u : 1u) << what;
        ASSERT_EQ(list.size(), row.kept ? 21u : 14u) << what;
        EXPECT_EQ(list.back(), "34") << what; // later records keep their own fields
    }
}

TEST(DefinitionParser, IncompleteTrailingGroupIsDroppedButItsFirstByteCarriesOver) {
    SignatureList first;
    SignatureList second;
    ParseState state;
    parseDefinitionText(group(".jpg", "Header : FFD8") + "Extension : .png\nSize : 10\nHeader : 0A\n", first,
                        state);
    EXPECT_EQ(first.size(), 7u);
    EXPECT_EQ(state.pendingFirstByte, "10");

    parseDefinitionText("a : .x\nb : 1\nc : FF\nd : 1\ne : e\nf : f\n" + group(".y", "Header : 20"), second,
                        state);
    ASSERT_EQ(second.size(), 14u);
    EXPECT_EQ(second[6], "10");  // the pending value of the previous file
    EXPECT_EQ(second[13], "32"); // and it was cleared after use
    EXPECT_EQ(state.pendingFirstByte, "");
}

class DefinitionFiles : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& bytes) const {
        test::writeFile(dir_ / name, bytes);
    }

    test::TempDir temp_;
    const std::filesystem::path& dir_ = temp_.path();
};

TEST_F(DefinitionFiles, InvalidUtf8OrMissingFileLeavesListAndStateUntouched) {
    write("overlong.dll", group(".jpg", "Header : FFD8") + "\xC0\xAF");
    write("surrogate.dll", group(".jpg", "Header : FFD8") + "\xED\xA0\x80");
    write("truncated.dll", group(".jpg", "Header : FFD8") + "\xE2\x82");
    write("latin1.dll", group(".caf\xE9", "Header : FFD8"));
    for (const char* name : {"overlong.dll", "surrogate.dll", "truncated.dll", "latin1.dll", "missing.dll"}) {
        SignatureList out = {"kept"};
        ParseState state{"7"};
        EXPECT_FALSE(loadDefinitionFile(dir_ / name, out, state).loaded()) << name;
        EXPECT_EQ(out, SignatureList{"kept"}) << name;
        EXPECT_EQ(state.pendingFirstByte, "7") << name;
    }
    SignatureList out;
    ParseState state;
    EXPECT_EQ(loadDefinitionFile(dir_, out, state).problem, DefinitionFileProblem::Unreadable);
    EXPECT_EQ(loadDefinitionFile(dir_ / "missing.dll", out, state).problem, DefinitionFileProblem::Missing);
    EXPECT_EQ(loadDefinitionFile(dir_ / "latin1.dll", out, state).problem, DefinitionFileProblem::NotUtf8);
}

TEST_F(DefinitionFiles, SixFilesLoadInOrderWithOneStateAndMissingFilesStayEmpty) {
    write("QRYExt2.dll", group(".jpg", "Header : FFD8"));
    write("QRYExt2Adv.dll", "");
    // No QRYVideo.dll.
    write("QRYVideoAdv.dll", group(".avi", "Header : 52") + "Extension : .mov\nSize : 1\nHeader : 6D\n");
    write("QRYRaw.dll", "a : .pdf\nb : 1\nc : 25\nd : 1\ne : e\nf : f\n");
    write("QRYRawAdv.dll", group(".zip", "Header : 50"));

    // The folder and the names, which begin with "/", are joined by plain concatenation.
    const SignatureLists lists = loadSignatureLists(dir_.string());
    EXPECT_EQ(lists.Ext_Array.size(), 7u);
    EXPECT_TRUE(lists.Adv_Ext_Array.empty());
    EXPECT_TRUE(lists.Video_Array.empty());
    ASSERT_EQ(lists.Adv_Video_Array.size(), 7u);
    EXPECT_EQ(lists.Adv_Video_Array[6], "82");
    ASSERT_EQ(lists.RawFile_Array.size(), 7u);
    EXPECT_EQ(lists.RawFile_Array[0], "PDF");
    EXPECT_EQ(lists.RawFile_Array[6], "109"); // carried over from the previous file
    ASSERT_EQ(lists.Adv_RawFile_Array.size(), 7u);
    EXPECT_EQ(lists.Adv_RawFile_Array[6], "80");

    ASSERT_EQ(lists.reports.size(), 6u);
    EXPECT_EQ(lists.reports[2].path, dir_.string() + "/QRYVideo.dll");
    EXPECT_EQ(lists.reports[2].problem, DefinitionFileProblem::Missing);
    EXPECT_TRUE(lists.reports[3].loaded());

    EXPECT_TRUE(loadSignatureLists((dir_ / "nowhere").string()).Ext_Array.empty());
}

} // namespace
} // namespace quarry::signatures
