#include "carve_fixture.h"
#include "json_reader.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace quarry::cli::test {
namespace {

const std::string kGeneralLabel =
    "( Currently performing Search based on: Quarry General Recovery Procedure )";

// An item event, reduced to what the tests compare.
struct Item {
    std::string pass, name, uid;
    std::uint64_t start, end;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Item& i) {
    return os << i.pass << ' ' << i.name << ' ' << i.uid << " [" << i.start << ',' << i.end << ')';
}

struct Stream {
    std::vector<Item> items;
    JsonValue end;
};

// Parses a JSON run: item events, then exactly one end event as the last line.
Stream parseStream(const std::string& out) {
    Stream stream;
    const auto lines = parseJsonLines(out);
    EXPECT_FALSE(lines.empty());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (i + 1 == lines.size()) {
            EXPECT_EQ(line.keys(), (std::vector<std::string>{"event", "status", "sectors_scanned",
                                                             "bad_sectors", "groups"}));
            EXPECT_EQ(line["event"].text, "end");
            stream.end = line;
            continue;
        }
        EXPECT_EQ(line.keys(),
                  (std::vector<std::string>{"event", "pass", "name", "uid", "start_sector", "end_sector"}));
        EXPECT_EQ(line["event"].text, "item");
        stream.items.push_back({line["pass"].text, line["name"].text, line["uid"].text,
                                line["start_sector"].number(), line["end_sector"].number()});
    }
    return stream;
}

std::vector<std::vector<std::string>> groupsOf(const JsonValue& end) {
    std::vector<std::vector<std::string>> groups;
    for (const auto& g : end["groups"].items) {
        EXPECT_EQ(g.keys(), (std::vector<std::string>{"FileTypes", "NoOfFile", "FileName"}));
        groups.push_back({g["FileTypes"].text, g["NoOfFile"].text, g["FileName"].text});
    }
    return groups;
}

// Photos: two JPEGs and a PNG in 2048 zero sectors; JPG and PNG in the general list, only
// the JFIF variant of JPG in the thorough one.
class PhotoCarve : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.path() / "photo.img";
        bytes = writeImage(
            image, 2048, Filler::Zero,
            {{"040_Canon_40D.jpg", 100}, {"018_julia-set.png", 300}, {"042_Pentax_K10D.jpg", 1200}});
        resources = dir.path() / "res";
        DefinitionSet set;
        set.photo = {{"jpg", "10485760", "ffd8ff", "1", "JPEG picture"},
                     {"png", "10485760", "89504e47", "1", "PNG picture"}};
        set.photoThorough = {{"jpg", "10485760", "ffd8ffe0", "1", "JPEG JFIF"}};
        writeDefinitions(resources, set);
    }

    CarveRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--resources", resources.string()});
        args.push_back(image.string());
        return carve(args);
    }

    TempDir dir;
    fs::path image, resources;
    std::vector<std::uint8_t> bytes;
};

TEST_F(PhotoCarve, JsonStreamHasEveryItemOfBothPassesAndTheEndEvent) {
    const auto r = run({"--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto firstLine = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(firstLine, R"({"event":"item","pass":"general","name":"GND00001.JPG","uid":"GND00001.JPG",)"
                         R"("start_sector":100,"end_sector":300})");

    const auto stream = parseStream(r.out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.JPG", "GND00001.JPG", 100, 300},
                                               {"general", "GND00002.PNG", "GND00002.PNG", 300, 1200},
                                               {"general", "GND00003.JPG", "GND00003.JPG", 1200, 2048},
                                               {"thorough", "THD00001.JPG", "THD00001.JPG", 100, 1200},
                                               {"thorough", "THD00002.JPG", "THD00002.JPG", 1200, 2048}}));
    EXPECT_EQ(stream.end["status"].text, "complete");
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 4096u);
    EXPECT_EQ(stream.end["bad_sectors"].number(), 0u);
    EXPECT_EQ(stream.end["groups"].kind, JsonValue::Kind::Array);
    EXPECT_TRUE(stream.end["groups"].items.empty());
}

TEST_F(PhotoCarve, RangeTypesAndThoroughSwitchNarrowTheScan) {
    auto stream = parseStream(run({"--json", "--start", "200", "--end", "1300"}).out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", "GND00001.PNG", 300, 1200},
                                               {"general", "GND00002.JPG", "GND00002.JPG", 1200, 1300},
                                               {"thorough", "THD00001.JPG", "THD00001.JPG", 1200, 1300}}));
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 2200u);

    stream = parseStream(run({"--json", "--no-thorough"}).out);
    EXPECT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 2048u);

    // Only PNG: the JPEG headers are no longer headers, and the thorough list has no PNG.
    stream = parseStream(run({"--json", "--types", "PNG"}).out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", "GND00001.PNG", 300, 2048}}));
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 2048u);

    const auto unknown = run({"--json", "--types", "PNG,GIF"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("GIF"), std::string::npos);
    EXPECT_EQ(unknown.out, "");
}

TEST_F(PhotoCarve, EachRangeCheckHasItsMessage) {
    struct Case {
        std::string start, end, message;
    };
    const std::string badStart = "Please enter valid Start Sector value.";
    const std::string badEnd = "Please enter valid End Sector value.";
    const std::string tooBig = "Maximum sector range exceeded\n";
    const std::vector<Case> cases{
        {"", "10", badStart},
        {"1a", "10", badStart},
        {" 1", "10", badStart},
        {"+1", "10", badStart},
        {"-1", "10", badStart},
        {"00001", "10", tooBig + badStart},
        {"2049", "3000", tooBig + badStart},
        {"0", "", badEnd},
        {"0", "9x", badEnd},
        {"0", "00010", tooBig + badEnd},
        {"0", "2049", tooBig + badEnd},
        {"10", "10", "End Sector should be greater than Start Sector."},
        {"2048", "2048", "End Sector should be greater than Start Sector."},
    };
    for (const auto& c : cases) {
        const auto r = run({"--json", "--start", c.start, "--end", c.end});
        EXPECT_EQ(r.status, 2) << c.start << ".." << c.end;
        EXPECT_EQ(r.err, c.message + "\n") << c.start << ".." << c.end;
        EXPECT_EQ(r.out, "");
    }
    const auto whole = parseStream(run({"--json", "--start", "0", "--end", "2048", "--no-thorough"}).out);
    EXPECT_EQ(whole.end["sectors_scanned"].number(), 2048u);
    EXPECT_EQ(whole.items.size(), 3u);
}

TEST_F(PhotoCarve, SavedPhotosAreTheItemBytesAndNeverOverwritten) {
    const auto out = dir.path() / "out";
    const auto r = run({"--json", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto folder = out / "Quarry (Vez) Results" / "Photo Search" / "General Recovery Results";
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 5u);
    for (const auto& item : stream.items) {
        const auto ext = item.name.substr(item.name.rfind('.') + 1);
        EXPECT_EQ(readBytes(folder / ext / item.name), sectorSlice(bytes, item.start, item.end)) << item;
    }

    const auto again = run({"--json", "--output", out.string()});
    ASSERT_EQ(again.status, 0) << again.err;
    std::set<std::string> jpgs;
    for (const auto& entry : fs::directory_iterator(folder / "JPG"))
        jpgs.insert(entry.path().filename().string());
    EXPECT_EQ(jpgs, (std::set<std::string>{"GND00001.JPG", "GND00003.JPG", "THD00001.JPG", "THD00002.JPG",
                                           "GND00001 (2).JPG", "GND00003 (2).JPG", "THD00001 (2).JPG",
                                           "THD00002 (2).JPG"}));
    EXPECT_EQ(readBytes(folder / "JPG" / "GND00001 (2).JPG"), sectorSlice(bytes, 100, 300));
    EXPECT_EQ(readBytes(folder / "JPG" / "GND00001.JPG"), sectorSlice(bytes, 100, 300));
}

TEST_F(PhotoCarve, FailedSavesAreReportedAndTheScanGoesOn) {
    const auto blocker = dir.path() / "blocker";
    std::ofstream(blocker) << "a file where the output folder should be";
    const auto r = run({"--json", "--no-thorough", "--output", blocker.string()});
    EXPECT_EQ(r.status, 3);
    const auto stream = parseStream(r.out);
    EXPECT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.end["status"].text, "complete");
    EXPECT_NE(r.err.find("cannot save GND00001.JPG"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot save GND00003.JPG"), std::string::npos) << r.err;
}

TEST_F(PhotoCarve, SummaryAndProgressWithoutJson) {
    const auto r = run({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(kGeneralLabel), std::string::npos);
    EXPECT_NE(r.err.find("Scan complete: 4096 sectors read in "), std::string::npos);
    EXPECT_EQ(r.out.find('{'), std::string::npos);
    EXPECT_NE(r.out.find("complete"), std::string::npos);
    EXPECT_NE(r.out.find("THD00002.JPG"), std::string::npos);
    EXPECT_NE(r.out.find("PNG"), std::string::npos);
}

TEST_F(PhotoCarve, HostileExtensionsAreEscapedAndSavedInsideTheOutputFolder) {
    DefinitionSet set;
    set.photo = {{"../../x\"y\\z", "10485760", "ffd8ff", "1", "hostile"}};
    writeDefinitions(resources, set);
    const auto out = dir.path() / "deep" / "out";
    const auto r = run({"--json", "--no-thorough", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 2u);
    EXPECT_EQ(stream.items[0].name, "GND00001.../../X\"Y\\Z");

    std::set<std::string> top;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        top.insert(entry.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"photo.img", "res", "deep"}));
    std::size_t saved = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file())
            continue;
        ++saved;
        const auto relative = fs::relative(entry.path(), out / "Quarry (Vez) Results" / "Photo Search");
        EXPECT_EQ(*relative.begin(), "General Recovery Results") << entry.path();
    }
    EXPECT_EQ(saved, 2u);
}

// Other files: a PDF, a DOC, a GIF and a second PDF in 4096 zero sectors; GIF is searched
// only by the thorough pass.
class RawCarve : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.path() / "raw.img";
        bytes = writeImage(image, 4096, Filler::Zero,
                           {{"092_032270.pdf", 100},
                            {"066_text_only.doc", 400},
                            {"033_atop.gif", 900},
                            {"092_032270.pdf", 2000},
                            {"079_png.mov", 3000}});
        resources = dir.path() / "res";
        DefinitionSet set;
        set.raw = {{"pdf", "1000", "25504446", "1", "PDF document"},
                   {"doc", "1000", "d0cf11e0", "1", "Word"}};
        set.rawThorough = {{"gif", "1000", "47494638", "1", "GIF picture"},
                           {"pdf", "1", "25504446", "1", "PDF"}};
        set.video = {{"mov", "1000", "66747970", "5", "QuickTime movie"}};
        writeDefinitions(resources, set);
    }

    CarveRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--resources", resources.string()});
        args.push_back(image.string());
        return carve(args);
    }

    TempDir dir;
    fs::path image, resources;
    std::vector<std::uint8_t> bytes;
};

TEST_F(RawCarve, ItemsAndGroupsOfBothPasses) {
    const auto r = run({"--mode", "raw", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "PDF00001.PDF", "PDF00001.PDF", 100, 401},
                                               {"general", "DOC00001.DOC", "DOC00001.DOC", 400, 2001},
                                               {"general", "PDF00002.PDF", "PDF00002.PDF", 2000, 4096},
                                               {"thorough", "PDF00003.PDF", "PDF00003.PDF", 100, 901},
                                               {"thorough", "GIF00001.GIF", "GIF00001.GIF", 900, 2001},
                                               {"thorough", "PDF00004.PDF", "PDF00004.PDF", 2000, 4096}}));
    EXPECT_EQ(stream.end["status"].text, "complete");
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 8192u);
    EXPECT_EQ(groupsOf(stream.end),
              (std::vector<std::vector<std::string>>{
                  {"PDF", "4", "PDF00004.PDF"}, {"DOC", "1", "DOC00001.DOC"}, {"GIF", "1", "GIF00001.GIF"}}));
}

TEST_F(RawCarve, TypesAndThoroughSwitchFollowTheCheckList) {
    auto stream = parseStream(run({"--mode", "raw", "--json", "--no-thorough"}).out);
    EXPECT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 4096u);
    // A ticked type of the thorough list still has its group, which stays at 0.
    EXPECT_EQ(groupsOf(stream.end),
              (std::vector<std::vector<std::string>>{
                  {"PDF", "2", "PDF00002.PDF"}, {"DOC", "1", "DOC00001.DOC"}, {"GIF", "0", ""}}));

    stream = parseStream(run({"--mode", "raw", "--json", "--types", "PDF"}).out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "PDF00001.PDF", "PDF00001.PDF", 100, 2001},
                                               {"general", "PDF00002.PDF", "PDF00002.PDF", 2000, 4096},
                                               {"thorough", "PDF00003.PDF", "PDF00003.PDF", 100, 2001},
                                               {"thorough", "PDF00004.PDF", "PDF00004.PDF", 2000, 4096}}));
    EXPECT_EQ(groupsOf(stream.end), (std::vector<std::vector<std::string>>{{"PDF", "4", "PDF00004.PDF"}}));

    // Only a thorough type and no thorough pass: nothing is read.
    stream = parseStream(run({"--mode", "raw", "--json", "--types", "GIF", "--no-thorough"}).out);
    EXPECT_TRUE(stream.items.empty());
    EXPECT_EQ(stream.end["sectors_scanned"].number(), 0u);
    EXPECT_EQ(groupsOf(stream.end), (std::vector<std::vector<std::string>>{{"GIF", "0", ""}}));

    const auto none = run({"--mode", "raw", "--json", "--types", ""});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "Please select atleast one extension type.\n");
    EXPECT_EQ(none.out, "");

    const auto unknown = run({"--mode", "raw", "--types", "PDF,pdf"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("'pdf'"), std::string::npos);

    // The video lists are separate: no raw-file type is known there.
    const auto video = run({"--mode", "video", "--json"});
    ASSERT_EQ(video.status, 0) << video.err;
    stream = parseStream(video.out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "MOV00001.MOV", "MOV00001.MOV", 3000, 4096}}));
    EXPECT_EQ(run({"--mode", "video", "--types", "PDF"}).status, 2);
}

TEST_F(RawCarve, EmptyListsLeaveNothingToSelect) {
    writeDefinitions(resources, {});
    const auto r = run({"--mode", "video"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Please select atleast one extension type.\n");
}

TEST_F(RawCarve, SavedFilesAreTheirSectors) {
    const auto out = dir.path() / "out";
    const auto r = run({"--mode", "raw", "--json", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto folder = out / "Quarry (Vez) Results" / "File Search" / "General Recovery Results";
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 6u);
    for (const auto& item : stream.items) {
        const auto ext = item.name.substr(item.name.rfind('.') + 1);
        EXPECT_EQ(readBytes(folder / ext / item.name), sectorSlice(bytes, item.start, item.end)) << item;
    }
    const auto video = run({"--mode", "video", "--output", out.string()});
    ASSERT_EQ(video.status, 0) << video.err;
    EXPECT_EQ(readBytes(out / "Quarry (Vez) Results" / "Video Search" / "General Recovery Results" / "MOV" /
                        "MOV00001.MOV"),
              sectorSlice(bytes, 3000, 4096));
}

TEST(CarveCommand, UsageErrorsAndUnreadableSources) {
    TempDir dir;
    const auto image = dir.path() / "small.img";
    writeImage(image, 64, Filler::Zero, {});

    const auto help = carve({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: quarry-carve"), std::string::npos);
    EXPECT_EQ(carve({"--bogus", "--help"}).status, 0);

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", image.string()},
                                               {"--mode", "audio", image.string()},
                                               {"--start", "1", image.string()},
                                               {"--end", "5", image.string()},
                                               {image.string(), image.string()},
                                               {"--json=1", image.string()},
                                               {image.string(), "--start"},
                                               {"--list-media", image.string()}}) {
        const auto r = carve(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }

    for (const auto& source : {dir.path() / "missing.img", dir.path()}) {
        const auto r = carve({"--json", source.string()});
        EXPECT_EQ(r.status, 1) << source;
        EXPECT_EQ(r.err, "Error in storage media reading.\n");
        EXPECT_EQ(r.out, "");
    }

    // A medium smaller than a sector is scanned, and is empty.
    const auto tiny = dir.path() / "tiny.img";
    std::ofstream(tiny) << "abc";
    const auto r =
        carve({"--json", "--resources", dir.path().string(), "--start=0", "--end=1", tiny.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Maximum sector range exceeded\nPlease enter valid End Sector value.\n");
    const auto whole = parseStream(carve({"--json", "--resources", dir.path().string(), tiny.string()}).out);
    EXPECT_EQ(whole.end["status"].text, "complete");
    EXPECT_EQ(whole.end["sectors_scanned"].number(), 0u);
}

TEST(CarveCommand, ListMedia) {
    const auto json = carve({"--list-media", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const auto& row : parseJsonLines(json.out))
        EXPECT_EQ(row.keys(), (std::vector<std::string>{"Collumn1", "Collumn2", "Collumn3", "Collumn4",
                                                        "Collumn5", "Collumn6"}));
    const auto table = carve({"--list-media"});
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out.rfind("Device", 0), 0u);
}

// The shipped definition files on random filler: whatever they find, every saved file is
// exactly the sectors or bytes its event names, and the planted pictures are found.
TEST(CarveCommand, ShippedDefinitionsOnRandomFiller) {
    const fs::path shipped = QUARRY_TEST_RESOURCE_DIR;
    if (!fs::exists(shipped / "QRYExt2.dll"))
        GTEST_SKIP() << "no definition files in " << shipped;
    TempDir dir;
    const auto image = dir.path() / "random.img";
    const std::vector<Planted> planted{{"040_Canon_40D.jpg", 64},   {"018_julia-set.png", 500},
                                       {"050_sony-d700.jpg", 2100}, {"092_032270.pdf", 3000},
                                       {"066_text_only.doc", 3500}, {"061_BlueSquare.jpg", 5000}};
    const auto bytes = writeImage(image, 8192, Filler::Random, planted, 20240611);
    const auto out = dir.path() / "out";

    struct ModeCase {
        const char* mode;
        const char* folder;
    };
    for (const auto& mode : {ModeCase{"photo", "Photo Search"}, ModeCase{"raw", "File Search"}}) {
        const auto r = carve({"--mode", mode.mode, "--json", "--output", out.string(), image.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto stream = parseStream(r.out);
        std::set<std::uint64_t> starts;
        for (const auto& item : stream.items) {
            starts.insert(item.start);
            const auto file = out / "Quarry (Vez) Results" / mode.folder / "General Recovery Results" /
                              item.name.substr(item.name.rfind('.') + 1) / item.name;
            EXPECT_EQ(readBytes(file), sectorSlice(bytes, item.start, item.end)) << item;
        }
        if (std::string(mode.mode) == "photo") {
            for (const std::uint64_t sector : {64u, 2100u, 5000u})
                EXPECT_TRUE(starts.count(sector)) << "no photo found at sector " << sector;
        }
    }
}

} // namespace
} // namespace quarry::cli::test
