#include "cli/carve_options.h"
#include "cli/json_line.h"
#include "cli/progress_display.h"
#include "cli/type_selection.h"
#include "json_lines.h"

#include <gtest/gtest.h>
#include <random>

namespace quarry::cli {
namespace {

ParsedArguments parse(std::vector<std::string> args) {
    args.insert(args.begin(), "quarry-carve");
    return parseCarveArguments(args);
}

TEST(CarveArguments, BothValueFormsAndTheEndOfOptions) {
    auto p = parse({"--mode=raw", "--start", "5", "--end=9", "--types", "PDF,DOC", "--no-thorough",
                    "--output", "out", "--json", "--", "--odd-name"});
    ASSERT_EQ(p.error, "");
    const auto& o = p.options;
    EXPECT_EQ(o.mode, CarveMode::Raw);
    EXPECT_EQ(o.startText, "5");
    EXPECT_EQ(o.endText, "9");
    EXPECT_EQ(o.types, (std::vector<std::string>{"PDF", "DOC"}));
    EXPECT_FALSE(o.thorough);
    EXPECT_EQ(o.output, "out");
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.source, "--odd-name");

    // A value is taken as it stands, sign and blanks included, for the range checks to judge.
    p = parse({"--start", "-1", "--end", " 7", "-"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.startText, "-1");
    EXPECT_EQ(p.options.endText, " 7");
    EXPECT_EQ(p.options.source, "-");
    EXPECT_EQ(p.options.mode, CarveMode::Photo);
    EXPECT_TRUE(p.options.thorough);

    EXPECT_TRUE(parse({"--list-media", "--json"}).error.empty());
    EXPECT_FALSE(parse({"--list-media", "--mode", "raw"}).error.empty());
    EXPECT_FALSE(parse({"--output", "", "x"}).error.empty());

    p = parse({"--min-size=4096", "--min-pixels", "640x480", "x"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.minSize, 4096u);
    ASSERT_TRUE(p.options.minPixels);
    EXPECT_EQ(p.options.minPixels->width, 640u);
    EXPECT_EQ(p.options.minPixels->height, 480u);
}

TEST(CarveArguments, TypeListsSplitAtCommas) {
    EXPECT_EQ(splitTypes(""), std::vector<std::string>{});
    EXPECT_EQ(splitTypes("JPG"), std::vector<std::string>{"JPG"});
    EXPECT_EQ(splitTypes("JPG,,png,"), (std::vector<std::string>{"JPG", "", "png", ""}));
}

TEST(TypeSelection, PhotoRecordsAndCheckListRows) {
    const signatures::SignatureList list{"JPG", "1", "ffd8", "1",  "", "a", "255",
                                         "PNG", "1", "8950", "1",  "", "b", "137",
                                         "JPG", "2", "ffd9", "nn", "", "c", "255"};
    const auto kept = keepTypes(list, {"JPG"});
    EXPECT_EQ(kept, (signatures::SignatureList{"JPG", "1", "ffd8", "1", "", "a", "255", "JPG", "2", "ffd9",
                                               "nn", "", "c", "255"}));
    EXPECT_EQ(unknownPhotoType(list, {}, {"PNG", "jpg"}), "jpg");
    EXPECT_EQ(unknownPhotoType({}, list, {"PNG"}), "");

    signatures::CheckList rows{{1, "JPG", "", "", ""}, {1, "AVI", "", "", ""}, {1, "MOV", "", "YES", ""}};
    EXPECT_EQ(tickOnly(rows, {"MOV", "XYZ"}), "XYZ");
    EXPECT_EQ(rows[0].State, 1);
    EXPECT_EQ(tickOnly(rows, {"MOV"}), "");
    EXPECT_EQ(rows[0].State, 0);
    EXPECT_EQ(rows[1].State, 0);
    EXPECT_EQ(rows[2].State, 1);

    rows.push_back({1, "OLE", "Office 97-2003 file, saved as DOC, XLS or PPT", "", "document"});
    EXPECT_EQ(familyOf(rows, "XLS"), "OLE");
    EXPECT_EQ(familyOf(rows, "XL"), "");
    EXPECT_EQ(familyOf(rows, "Office"), "");
}

TEST(JsonLine, AnyByteSequenceGivesValidJson) {
    std::string out;
    appendJsonString(out, std::string("a\"b\\c\n\t\x01\x1f\x7f é \xe2\x80\x98 \xf0\x9f\x98\x80", 22));
    EXPECT_EQ(test::Json::parse(out).get<std::string>(),
              std::string("a\"b\\c\n\t\x01\x1f\x7f é \xe2\x80\x98 \xf0\x9f\x98\x80", 22));
    EXPECT_EQ(out.find('\x01'), std::string::npos);

    // Invalid UTF-8: stray continuation, overlong, surrogate, truncated sequence, NUL.
    out.clear();
    appendJsonString(out, std::string("x\x80y\xc0\xafz\xed\xa0\x80w\xe2\x82", 12) + std::string(1, '\0'));
    EXPECT_EQ(test::Json::parse(out).get<std::string>(),
              "x\xef\xbf\xbdy\xef\xbf\xbd\xef\xbf\xbdz\xef\xbf\xbd\xef\xbf\xbd\xef"
              "\xbf\xbdw\xef\xbf\xbd\xef\xbf\xbd" +
                  std::string(1, '\0'));

    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 24, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(random());
        out.clear();
        appendJsonString(out, bytes);
        EXPECT_NO_THROW(test::Json::parse(out)) << out;
    }

    const auto object = JsonObject().add("b", "x").add("a", std::uint64_t{18446744073709551615u}).str();
    EXPECT_EQ(object, R"({"b":"x","a":18446744073709551615})");
}

TEST(ProgressLine, PercentRateAndEta) {
    ProgressSample s;
    s.start = 1000;
    s.end = 3000;
    s.forIndex = 2000;
    s.passes = 2;
    s.elapsedSeconds = 1.0;
    EXPECT_EQ(formatProgress(s),
              "General pass: Sectors 2000 of 3000   ( Completed 50% )   0.5 MB/s   ETA 0:00:03");
    s.pass = 1;
    s.forIndex = 3000;
    s.elapsedSeconds = 4.0;
    EXPECT_EQ(formatProgress(s),
              "Thorough pass: Sectors 3000 of 3000   ( Completed 100% )   0.5 MB/s   ETA 0:00:00");

    ProgressSample empty; // a medium without sectors
    EXPECT_EQ(formatProgress(empty), "General pass: Sectors 0 of 0   ( Completed 100% )   -- MB/s   ETA --");

    EXPECT_EQ(formatClosing(true, 4000000, 3725.0),
              "Scan stopped: 4000000 sectors read in 1:02:05, 0.5 MB/s");
    EXPECT_EQ(formatClosing(false, 0, 0.0), "Scan complete: 0 sectors read in 0:00:00");
}

} // namespace
} // namespace quarry::cli
