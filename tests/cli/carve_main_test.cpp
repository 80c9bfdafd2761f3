#include "block_fixtures.h"
#include "carve_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What --output adds to an item event.
struct Saved {
    std::string path; // empty when not saved
    std::uint64_t bytes = 0;
    bool validated = false;
    std::string check, type, duplicateOf, partOf;
};

struct Stream {
    std::vector<Item> items;
    std::vector<Saved> saved;         // one per item with --output
    std::vector<std::string> skipped; // per item: the filter that left it out, or ""
    Json end;
};

const std::vector<std::string> kItemKeys{
    "event", "pass", "name", "uid", "start_sector", "end_sector", "unreadable_sectors"};

// Parses a JSON run: item events, then exactly one end event as the last line.
Stream parseStream(const std::string& out) {
    Stream stream;
    const auto lines = parseJsonLines(out);
    EXPECT_FALSE(lines.empty());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (i + 1 == lines.size()) {
            const std::vector<std::string> endKeys{"event", "status", "sectors_scanned", "bad_sectors",
                                                   "groups"};
            auto savedEndKeys = endKeys;
            savedEndKeys.insert(savedEndKeys.end(), {"saved", "verified", "unverified", "rejected", "copies",
                                                     "damaged", "named", "found_by_name"});
            EXPECT_TRUE(keysOf(line) == endKeys || keysOf(line) == savedEndKeys)
                << ::testing::PrintToString(keysOf(line));
            EXPECT_EQ(line.at("event").get<std::string>(), "end");
            stream.end = line;
            continue;
        }
        auto savedKeys = kItemKeys;
        savedKeys.insert(savedKeys.end(), {"saved_path", "saved_bytes", "validated", "check", "type",
                                           "duplicate_of", "part_of"});
        auto skippedKeys = kItemKeys;
        skippedKeys.push_back("skipped");
        EXPECT_TRUE(keysOf(line) == kItemKeys || keysOf(line) == savedKeys || keysOf(line) == skippedKeys)
            << ::testing::PrintToString(keysOf(line));
        stream.skipped.push_back(keysOf(line) == skippedKeys ? line.at("skipped").get<std::string>() : "");
        EXPECT_EQ(line.at("event").get<std::string>(), "item");
        stream.items.push_back({line.at("pass").get<std::string>(), line.at("name").get<std::string>(),
                                line.at("uid").get<std::string>(),
                                line.at("start_sector").get<std::uint64_t>(),
                                line.at("end_sector").get<std::uint64_t>()});
        if (keysOf(line) == savedKeys) {
            EXPECT_TRUE(line.at("validated").is_boolean());
            stream.saved.push_back(
                {textOf(line.at("saved_path")), line.at("saved_bytes").get<std::uint64_t>(),
                 line.at("validated").get<bool>(), textOf(line.at("check")), textOf(line.at("type")),
                 textOf(line.at("duplicate_of")), textOf(line.at("part_of"))});
        }
    }
    return stream;
}

std::vector<std::vector<std::string>> groupsOf(const Json& end) {
    std::vector<std::vector<std::string>> groups;
    for (const auto& g : end.at("groups")) {
        EXPECT_EQ(keysOf(g), (std::vector<std::string>{"FileTypes", "NoOfFile", "FileName"}));
        groups.push_back({g.at("FileTypes").get<std::string>(), g.at("NoOfFile").get<std::string>(),
                          g.at("FileName").get<std::string>()});
    }
    return groups;
}

const Definition kJpeg{"jpg", "10485760", "ffd8ff", "1", "JPEG picture"};
const Definition kPdf{"pdf", "1000", "25504446", "1", "PDF document"};

// Every item is its planted corpus file, saved in <folder>/<extension>/<name> unless it is a
// copy of an earlier one.
void expectSavedWhole(const Stream& stream, const fs::path& folder,
                      const std::map<std::uint64_t, std::string>& planted) {
    ASSERT_EQ(stream.saved.size(), stream.items.size());
    std::map<std::uint64_t, std::string> first;
    for (std::size_t i = 0; i < stream.items.size(); ++i) {
        const auto& item = stream.items[i];
        const auto& saved = stream.saved[i];
        EXPECT_EQ(saved.check, "verified") << item;
        if (!first.emplace(item.start, item.name).second) {
            EXPECT_EQ(saved.duplicateOf, first.at(item.start)) << item;
            EXPECT_EQ(saved.path, "") << item;
            continue;
        }
        const auto ext = item.name.substr(item.name.rfind('.') + 1);
        EXPECT_EQ(fs::path(saved.path), folder / ext / item.name) << item;
        EXPECT_TRUE(saved.validated) << item;
        const auto original = corpusBytes(planted.at(item.start));
        EXPECT_EQ(saved.bytes, original.size()) << item;
        EXPECT_EQ(readBytes(saved.path), original) << item;
    }
}

std::set<std::string> filesUnder(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.insert(entry.path().filename().string());
    return files;
}

// An image of planted corpus files and definition files in a folder of its own.
class CarveImage : public ::testing::Test {
protected:
    void setUp(const char* name, std::uint64_t sectors, const std::vector<Planted>& planted,
               const DefinitionSet& set) {
        image = dir.path() / name;
        bytes = writeImage(image, sectors, Filler::Zero, planted);
        resources = dir.path() / "res";
        writeDefinitions(resources, set);
    }

    // Zeros over sectors [from, to) of the image.
    void wipe(std::uint64_t from, std::uint64_t to) {
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from * 512),
                  bytes.begin() + static_cast<std::ptrdiff_t>(to * 512), 0);
        writeBytes(image, bytes);
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

// Photos: two JPEGs and a PNG in 2048 zero sectors; JPG and PNG in the general list, only
// the JFIF variant of JPG in the thorough one.
class PhotoCarve : public CarveImage {
protected:
    void SetUp() override {
        DefinitionSet set;
        set.photo = {kJpeg, {"png", "10485760", "89504e47", "1", "PNG picture"}};
        set.photoThorough = {{"jpg", "10485760", "ffd8ffe0", "1", "JPEG JFIF"}};
        setUp("photo.img", 2048,
              {{"040_Canon_40D.jpg", 100}, {"018_julia-set.png", 300}, {"042_Pentax_K10D.jpg", 1200}}, set);
    }
};

TEST_F(PhotoCarve, JsonStreamHasEveryItemOfBothPassesAndTheEndEvent) {
    const auto r = run({"--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto firstLine = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(firstLine, R"({"event":"item","pass":"general","name":"GND00001.JPG","uid":"GND00001.JPG",)"
                         R"("start_sector":100,"end_sector":300,"unreadable_sectors":0})");

    const auto stream = parseStream(r.out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.JPG", "GND00001.JPG", 100, 300},
                                               {"general", "GND00002.PNG", "GND00002.PNG", 300, 1200},
                                               {"general", "GND00003.JPG", "GND00003.JPG", 1200, 2048},
                                               {"thorough", "THD00001.JPG", "THD00001.JPG", 100, 1200},
                                               {"thorough", "THD00002.JPG", "THD00002.JPG", 1200, 2048}}));
    EXPECT_EQ(stream.end.at("status").get<std::string>(), "complete");
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 4096u);
    EXPECT_EQ(stream.end.at("bad_sectors").get<std::uint64_t>(), 0u);
    EXPECT_EQ(stream.end.at("groups"), Json::array());
}

// The filters leave items out of saving, and say so; the items are still reported.
TEST_F(PhotoCarve, SizeAndPictureFiltersSkipItems) {
    TempDir out;
    const auto run1 =
        run({"--json", "--no-thorough", "--min-size", "200000", "--output", out.path().string()});
    ASSERT_EQ(run1.status, 0) << run1.err;
    auto stream = parseStream(run1.out);
    ASSERT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.skipped, (std::vector<std::string>{"min-size", "", ""}));
    EXPECT_EQ(stream.saved.size(), 2u);
    EXPECT_EQ(stream.end.at("saved").get<std::uint64_t>(), 2u);

    // The JPEGs are 100 pixels wide, the PNG 400 × 400; without --output only the events tell.
    stream = parseStream(run({"--json", "--no-thorough", "--min-pixels", "101x100"}).out);
    EXPECT_EQ(stream.skipped, (std::vector<std::string>{"min-pixels", "", "min-pixels"}));
    stream = parseStream(run({"--json", "--no-thorough", "--min-pixels=100X68"}).out);
    EXPECT_EQ(stream.skipped, (std::vector<std::string>{"", "", ""}));
}

TEST_F(PhotoCarve, RangeTypesAndThoroughSwitchNarrowTheScan) {
    auto stream = parseStream(run({"--json", "--start", "200", "--end", "1300"}).out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", "GND00001.PNG", 300, 1200},
                                               {"general", "GND00002.JPG", "GND00002.JPG", 1200, 1300},
                                               {"thorough", "THD00001.JPG", "THD00001.JPG", 1200, 1300}}));
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 2200u);

    stream = parseStream(run({"--json", "--no-thorough"}).out);
    EXPECT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 2048u);

    // Only PNG: the JPEG headers are no longer headers, and the thorough list has no PNG.
    stream = parseStream(run({"--json", "--types", "PNG"}).out);
    EXPECT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", "GND00001.PNG", 300, 2048}}));
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 2048u);

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
    // One case per message: the rules themselves are the range checks' own tests.
    const std::vector<Case> cases{
        {"1a", "10", badStart},
        {"00001", "10", tooBig + badStart},
        {"0", "9x", badEnd},
        {"0", "2049", tooBig + badEnd},
        {"2048", "2048", "End Sector should be greater than Start Sector."},
    };
    for (const auto& c : cases) {
        const auto r = run({"--json", "--start", c.start, "--end", c.end});
        EXPECT_EQ(r.status, 2) << c.start << ".." << c.end;
        EXPECT_EQ(r.err, c.message + "\n") << c.start << ".." << c.end;
        EXPECT_EQ(r.out, "");
    }
    const auto whole = parseStream(run({"--json", "--start", "0", "--end", "2048", "--no-thorough"}).out);
    EXPECT_EQ(whole.end.at("sectors_scanned").get<std::uint64_t>(), 2048u);
    EXPECT_EQ(whole.items.size(), 3u);
}

TEST_F(PhotoCarve, SavedPhotosEndWhereTheFileEndsAndAreNeverOverwritten) {
    const auto out = dir.path() / "out";
    const auto r = run({"--json", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto folder = out / "Quarry (Vez) Results" / "Photo Search" / "General Recovery Results";
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 5u);
    expectSavedWhole(stream, folder,
                     {{100, "040_Canon_40D.jpg"}, {300, "018_julia-set.png"}, {1200, "042_Pentax_K10D.jpg"}});

    const auto again = run({"--json", "--output", out.string()});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(namesIn(folder / "JPG"), (std::set<std::string>{"GND00001.JPG", "GND00003.JPG",
                                                              "GND00001 (2).JPG", "GND00003 (2).JPG"}));
    EXPECT_EQ(parseStream(again.out).saved[0].path, (folder / "JPG" / "GND00001 (2).JPG").string());
    EXPECT_EQ(readBytes(folder / "JPG" / "GND00001 (2).JPG"), corpusBytes("040_Canon_40D.jpg"));
}

TEST_F(PhotoCarve, ABrokenPhotoIsRejectedAndKeptOnlyOnRequest) {
    // The PNG is wiped from its 20th sector on, so its chunks run into zeros.
    bytes =
        writeImage(image, 2048, Filler::Zero, {{"018_julia-set.png", 300}, {"042_Pentax_K10D.jpg", 1200}});
    wipe(320, 1200);
    const auto out = dir.path() / "out";
    const auto r = run({"--json", "--no-thorough", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", "GND00001.PNG", 300, 1200},
                                               {"general", "GND00002.JPG", "GND00002.JPG", 1200, 2048}}));
    EXPECT_EQ(stream.saved[0].check, "rejected");
    EXPECT_EQ(stream.saved[0].path, "");
    EXPECT_EQ(stream.saved[1].check, "verified");
    EXPECT_EQ(readBytes(stream.saved[1].path), corpusBytes("042_Pentax_K10D.jpg"));
    EXPECT_EQ(stream.end.at("rejected").get<std::uint64_t>(), 1u);
    EXPECT_EQ(stream.end.at("saved").get<std::uint64_t>(), 1u);

    const auto kept =
        parseStream(run({"--json", "--no-thorough", "--keep-rejected", "--output", out.string()}).out);
    const auto folder = out / "Quarry (Vez) Results" / "Photo Search" / "General Recovery Results";
    EXPECT_EQ(kept.saved[0].path, (folder / "Unverified" / "GND00001.PNG").string());
    EXPECT_EQ(readBytes(kept.saved[0].path), sectorSlice(bytes, 300, 1200));

    const auto summary = run({"--no-thorough", "--output", out.string()});
    EXPECT_EQ(summary.status, 0);
    for (const char* line : {"Items saved:      1", "Verified:         1", "Rejected:         1"})
        EXPECT_NE(summary.out.find(line), std::string::npos) << summary.out;
    EXPECT_EQ(run({"--keep-rejected"}).status, 2);
}

TEST_F(PhotoCarve, APhotoCutShortByAPictureInsideItIsSavedWhole) {
    // This photo holds a JPEG thumbnail that starts on a sector boundary, five sectors in.
    writeImage(image, 4096, Filler::Zero, {{"010_Dune.jpg", 100}});
    const auto out = dir.path() / "out";
    const auto r = run({"--json", "--no-thorough", "--types", "JPG", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 2u);
    EXPECT_EQ(stream.items[0].end, 105u);
    EXPECT_TRUE(stream.saved[0].validated);
    EXPECT_EQ(readBytes(stream.saved[0].path), corpusBytes("010_Dune.jpg"));
    // The thumbnail inside it is no file of its own.
    EXPECT_EQ(stream.saved[1].partOf, "GND00001.JPG");
    EXPECT_EQ(stream.saved[1].path, "");
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

    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"photo.img", "res", "deep"}));
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
class RawCarve : public CarveImage {
protected:
    void SetUp() override {
        DefinitionSet set;
        set.raw = {kPdf, {"doc", "1000", "d0cf11e0", "1", "Word"}};
        set.rawThorough = {{"gif", "1000", "47494638", "1", "GIF picture"},
                           {"pdf", "1", "25504446", "1", "PDF"}};
        set.video = {{"mov", "1000", "66747970", "5", "QuickTime movie"}};
        setUp("raw.img", 4096,
              {{"092_032270.pdf", 100},
               {"066_text_only.doc", 400},
               {"033_atop.gif", 900},
               {"092_032270.pdf", 2000},
               {"079_png.mov", 3000}},
              set);
    }
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
    EXPECT_EQ(stream.end.at("status").get<std::string>(), "complete");
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 8192u);
    EXPECT_EQ(groupsOf(stream.end),
              (std::vector<std::vector<std::string>>{
                  {"PDF", "4", "PDF00004.PDF"}, {"DOC", "1", "DOC00001.DOC"}, {"GIF", "1", "GIF00001.GIF"}}));
}

TEST_F(RawCarve, TypesAndThoroughSwitchFollowTheCheckList) {
    auto stream = parseStream(run({"--mode", "raw", "--json", "--no-thorough"}).out);
    EXPECT_EQ(stream.items.size(), 3u);
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 4096u);
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
    EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), 0u);
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

TEST_F(RawCarve, SavedFilesAreTheCorpusFilesWhateverTheItemsSpan) {
    const auto out = dir.path() / "out";
    const auto r = run({"--mode", "raw", "--json", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto folder = out / "Quarry (Vez) Results" / "File Search" / "General Recovery Results";
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 6u);
    expectSavedWhole(stream, folder,
                     {{100, "092_032270.pdf"},
                      {400, "066_text_only.doc"},
                      {900, "033_atop.gif"},
                      {2000, "092_032270.pdf"}});
    // The movie's item is cut at 1000 bytes by its record, but the file runs on.
    const auto video = run({"--mode", "video", "--json", "--output", out.string()});
    ASSERT_EQ(video.status, 0) << video.err;
    const auto movie = parseStream(video.out);
    ASSERT_EQ(movie.saved.size(), 1u);
    EXPECT_TRUE(movie.saved[0].validated);
    EXPECT_EQ(readBytes(out / "Quarry (Vez) Results" / "Video Search" / "General Recovery Results" / "MOV" /
                        "MOV00001.MOV"),
              corpusBytes("079_png.mov"));
}

TEST_F(RawCarve, ATruncatedFileIsKeptWithItsSectorsOnRequest) {
    // The first document is cut off by zeros from its 20th sector on.
    bytes = writeImage(image, 4096, Filler::Zero, {{"092_032270.pdf", 100}, {"066_text_only.doc", 400}});
    wipe(120, 400);
    const auto out = dir.path() / "out";
    const auto r =
        run({"--mode", "raw", "--json", "--no-thorough", "--keep-rejected", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items, (std::vector<Item>{{"general", "PDF00001.PDF", "PDF00001.PDF", 100, 401},
                                               {"general", "DOC00001.DOC", "DOC00001.DOC", 400, 4096}}));
    EXPECT_EQ(stream.saved[0].check, "rejected");
    EXPECT_EQ(fs::path(stream.saved[0].path).parent_path().filename(), "Unverified");
    EXPECT_EQ(stream.saved[0].bytes, 301 * 512u);
    EXPECT_EQ(readBytes(stream.saved[0].path), sectorSlice(bytes, 100, 401));
    EXPECT_TRUE(stream.saved[1].validated);
    EXPECT_EQ(readBytes(stream.saved[1].path), corpusBytes("066_text_only.doc"));
}

TEST(CarveCommand, UsageErrors) {
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
                                               {"--min-size", "ten", image.string()},
                                               {"--min-size", "-1", image.string()},
                                               {"--min-pixels", "640", image.string()},
                                               {"--min-pixels", "640x", image.string()},
                                               {"--mode", "raw", "--min-pixels", "1x1", image.string()},
                                               {"--list-media", image.string()}}) {
        const auto r = carve(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
}

TEST(CarveCommand, ListMedia) {
    const auto json = carve({"--list-media", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const auto& row : parseJsonLines(json.out))
        EXPECT_EQ(keysOf(row), (std::vector<std::string>{"Collumn1", "Collumn2", "Collumn3", "Collumn4",
                                                         "Collumn5", "Collumn6"}));
    const auto table = carve({"--list-media"});
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out.rfind("Device", 0), 0u);
}

// The shipped definition files on random filler with real files planted in it: exactly the
// real files are saved, each once and whole, under the extension of what it is (the Word,
// Excel and PowerPoint files share one header), however often and under whatever type the
// passes find them.
TEST(CarveCommand, ShippedDefinitionsSaveExactlyTheRealFiles) {
    const fs::path shipped = QUARRY_TEST_RESOURCE_DIR;
    if (!fs::exists(shipped / "QRYExt2.dll"))
        GTEST_SKIP() << "no definition files in " << shipped;
    TempDir dir;
    const auto image = dir.path() / "random.img";
    writeImage(image, 8192, Filler::Random,
               {{"066_text_only.doc", 64},
                {"064_MonteCarlo.xls", 300},
                {"068_ecdl_paris2001.ppt", 1000},
                {"010_Dune.jpg", 2000}, // its thumbnail starts on a sector boundary
                {"040_Canon_40D.jpg", 4200},
                {"079_png.mov", 4400},
                {"121_gen_book.xlsx", 4600},
                {"029_default.docx", 4700}},
               20240611);
    const auto out = dir.path() / "out";

    struct ModeCase {
        const char* mode;
        const char* search;
        std::map<std::string, std::string> saved; // path below the results folder: corpus file
        std::uint64_t copies;
    };
    for (const auto& c :
         {ModeCase{"photo",
                   "Photo Search",
                   {{"JPG/GND00001.JPG", "010_Dune.jpg"}, {"JPG/GND00003.JPG", "040_Canon_40D.jpg"}},
                   4},
          ModeCase{"video", "Video Search", {{"MOV/MOV00001.MOV", "079_png.mov"}}, 1},
          ModeCase{"raw",
                   "File Search",
                   {{"DOC/OLE00001.DOC", "066_text_only.doc"},
                    {"XLS/OLE00002.XLS", "064_MonteCarlo.xls"},
                    {"PPT/OLE00003.PPT", "068_ecdl_paris2001.ppt"},
                    {"XLSX/OOXML00001.XLSX", "121_gen_book.xlsx"},
                    {"DOCX/OOXML00002.DOCX", "029_default.docx"}},
                   0}}) {
        const auto r = carve({"--mode", c.mode, "--json", "--output", out.string(), image.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto stream = parseStream(r.out);
        const auto folder = out / "Quarry (Vez) Results" / c.search / "General Recovery Results";
        std::map<std::string, std::string> saved;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                saved[fs::relative(entry.path(), folder).generic_string()] = entry.path().string();
        EXPECT_EQ(saved.size(), c.saved.size()) << c.mode << ": " << ::testing::PrintToString(saved);
        for (const auto& [path, corpusName] : c.saved) {
            ASSERT_EQ(saved.count(path), 1u) << c.mode << ": " << path;
            EXPECT_EQ(readBytes(saved.at(path)), corpusBytes(corpusName)) << path;
        }
        EXPECT_EQ(stream.end.at("saved").get<std::uint64_t>(), c.saved.size()) << c.mode;
        EXPECT_EQ(stream.end.at("copies").get<std::uint64_t>(), c.copies) << c.mode;
    }
}

// Four documents, the last three too big for what is left on a tiny destination.
using CarveOutput = CarveImage;

TEST_F(CarveOutput, AFullDestinationStopsSavingAndTheScanGoesOn) {
    DefinitionSet set;
    set.raw = {kPdf};
    setUp("docs.img", 4096,
          {{"092_032270.pdf", 100},
           {"032_libtasn1.pdf", 200},
           {"031_shared-mime-info-spec.pdf", 1000},
           {"092_032270.pdf", 2000}},
          set);
    const auto tiny = dir.path() / "tiny";
    quarry::test::TinyFileSystem memory(tiny, "1340k");
    if (!memory.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";

    const auto r = run({"--mode", "raw", "--json", "--no-thorough", "--output", tiny.string()});
    EXPECT_EQ(r.status, 3);
    const std::string full = "The destination disk is full. Saving has stopped; the files saved so far are "
                             "kept and the scan goes on.\n";
    EXPECT_EQ(r.err, full);
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 4u);
    EXPECT_EQ(stream.end.at("status").get<std::string>(), "complete");
    ASSERT_EQ(stream.saved.size(), 4u);
    EXPECT_EQ(readBytes(stream.saved[0].path), corpusBytes("092_032270.pdf"));
    EXPECT_EQ(readBytes(stream.saved[1].path), corpusBytes("032_libtasn1.pdf"));
    for (const auto i : {2, 3}) {
        EXPECT_EQ(stream.saved[i].path, "") << i;
        EXPECT_EQ(stream.saved[i].bytes, 0u) << i;
    }
    EXPECT_EQ(filesUnder(tiny), (std::set<std::string>{"PDF00001.PDF", "PDF00002.PDF"}));

    const auto summary = run({"--mode", "raw", "--no-thorough", "--output", tiny.string()});
    EXPECT_EQ(summary.status, 3);
    EXPECT_NE(summary.out.find("Items found:      4"), std::string::npos) << summary.out;
    EXPECT_NE(summary.out.find("Saving stopped:   the destination disk is full"), std::string::npos)
        << summary.out;
}

// A loop device over an image file: saving beside the image cannot overwrite it.
TEST_F(CarveOutput, BesideTheImageOfALoopDevice) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "attaching a loop device needs root";
    DefinitionSet set;
    set.photo = {kJpeg};
    setUp("card.img", 2048, {{"040_Canon_40D.jpg", 100}}, set);
    quarry::test::LoopDevice loop(image);
    if (!loop.attached())
        GTEST_SKIP() << "no loop device could be attached";

    const auto out = dir.path() / "out";
    const auto r =
        carve({"--json", "--resources", resources.string(), "--output", out.string(), loop.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_FALSE(stream.saved.empty());
    EXPECT_EQ(readBytes(stream.saved[0].path), corpusBytes("040_Canon_40D.jpg"));
}

// Sources, definition files, destinations and a standard output that are not what they should
// be: each is refused or reported, with its status and message, and writes nothing it shouldn't.
class HostileInputs : public CarveImage {
protected:
    void SetUp() override {
        DefinitionSet set;
        set.photo = {kJpeg};
        set.photoThorough = {kJpeg};
        setUp("card.img", 512, {{"040_Canon_40D.jpg", 100}}, set);
        out = dir.path() / "out";
        results = out / "Quarry (Vez) Results" / "Photo Search" / "General Recovery Results";
    }

    // quarry-carve itself with its standard output on /dev/full.
    CarveRun runIntoFullDisk(const std::vector<std::string>& args) const {
        std::string command = "'" QUARRY_TEST_BIN_DIR "/quarry-carve'";
        for (const auto& arg : args)
            command += " '" + arg + "'";
        const auto errFile = dir.path() / "stderr.txt";
        command += " >/dev/full 2>'" + errFile.string() + "'";
        CarveRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.err = readText(errFile);
        return run;
    }

    fs::path out, results;
};

TEST_F(HostileInputs, EachIsRefusedOrReported) {
    using Args = std::vector<std::string>;
    using Check = std::function<void()>;
    const Check nothingSaved = [this] {
        EXPECT_FALSE(fs::exists(results / "JPG"));
    };
    const Check photoSaved = [this] {
        EXPECT_EQ(readBytes(results / "JPG" / "GND00001.JPG"), corpusBytes("040_Canon_40D.jpg"));
    };
    struct Case {
        const char* what;
        std::function<Args()> prepare; // makes the case; the arguments after --resources
        int status;
        std::string message; // part of stderr
        Check written;       // what must (not) have been written
        bool stdoutFull = false;
    };
    const auto withSource = [this](const fs::path& source) {
        return [this, source] {
            return Args{"--json", "--output", out.string(), source.string()};
        };
    };
    const std::vector<Case> cases{
        {"missing source",
         [this] {
             return Args{"--json", (dir.path() / "missing.img").string()};
         },
         1, "missing.img: No such file or directory", nothingSaved},
        {"folder as source",
         [this] {
             return Args{"--json", dir.path().string()};
         },
         1, "a folder is not a medium", nothingSaved},
        {"FIFO as source (never blocks)",
         [this] {
             const auto fifo = dir.path() / "fifo";
             EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
             return Args{"--json", "--output", out.string(), fifo.string()};
         },
         1, "a named pipe (FIFO) is not a medium",
         [this] {
             EXPECT_FALSE(fs::exists(out));
         }},
        {"socket as source",
         [this] {
             const auto path = dir.path() / "socket";
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
             EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(fd);
             return Args{"--json", path.string()};
         },
         1, "a socket is not a medium", nothingSaved},
        {"character device as source", withSource("/dev/null"), 1,
         "a character device has no sectors to scan",
         [this] {
             EXPECT_FALSE(fs::exists(out));
         }},
        {"empty image",
         [this] {
             writeFile(dir.path() / "empty.img", "");
             return Args{"--json", (dir.path() / "empty.img").string()};
         },
         1, "the medium is empty", nothingSaved},
        {"image smaller than a sector is one sector, zero-padded",
         [this] {
             writeFile(dir.path() / "tiny.img", "abc");
             return Args{"--json", "--start=0", "--end=1", (dir.path() / "tiny.img").string()};
         },
         0, "", nothingSaved},
        {"no definition files",
         [this] {
             resources = dir.path() / "nowhere";
             return Args{"--json", "--output", out.string(), image.string()};
         },
         2, "definition file " + (dir.path() / "nowhere" / "QRYExt2.dll").string() + " is missing",
         [this] {
             EXPECT_FALSE(fs::exists(out));
         }},
        {"one definition file missing, the scan goes on",
         [this] {
             fs::remove(resources / "QRYExt2Adv.dll");
             return Args{"--json", "--output", out.string(), image.string()};
         },
         0, "QRYExt2Adv.dll is missing; its signatures are not searched for", photoSaved},
        {"record with a header position of twenty nines",
         [this] {
             std::ofstream(resources / "QRYExt2.dll", std::ios::app)
                 << "E : .jpg\nS : 1024\nHeader : FFD8\nHeader position : 99999999999999999999\nK : k\nD : "
                    "d\n";
             return Args{"--json", "--output", out.string(), image.string()};
         },
         0, "QRYExt2.dll: 1 record(s) with a size or header position out of range were skipped", photoSaved},
        {"output below a file",
         [this] {
             writeFile(dir.path() / "blocker", "a file where a folder should be");
             return Args{"--json", "--output", (dir.path() / "blocker" / "out").string(), image.string()};
         },
         2, "cannot create the folder",
         [this] {
             EXPECT_EQ(readText(dir.path() / "blocker"), "a file where a folder should be");
         }},
        {"symbolic link as a results folder",
         [this] {
             fs::create_directories(results.parent_path());
             fs::create_directories(dir.path() / "elsewhere");
             fs::create_directory_symlink(dir.path() / "elsewhere", results);
             return Args{"--json", "--output", out.string(), image.string()};
         },
         2, "a symbolic link stands where a results folder should be",
         [this] {
             EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
         }},
        {"dangling symbolic link as a results folder",
         [this] {
             fs::create_directories(out / "Quarry (Vez) Results");
             fs::create_directory_symlink(dir.path() / "gone", out / "Quarry (Vez) Results" / "Photo Search");
             return Args{"--json", "--output", out.string(), image.string()};
         },
         2, "a symbolic link stands where a results folder should be",
         [this] {
             EXPECT_FALSE(fs::exists(dir.path() / "gone"));
         }},
        {"partial files of killed runs",
         [this] {
             fs::create_directories(results / "JPG");
             // pid_max is at most 2^22: no process has the first number.
             writeFile(results / "JPG" / ".quarry-partial-999999999-0", "killed");
             writeFile(results / "JPG" / ".quarry-partial-1-0", "init is alive and older");
             writeFile(results / "JPG" / ".quarry-partial-x", "not ours");
             // Only the extension folders hold partial files: one elsewhere is someone else's.
             writeFile(results / ".quarry-partial-999999999-0", "outside the type folders");
             return Args{"--json", "--output", out.string(), image.string()};
         },
         0, "",
         [this] {
             EXPECT_EQ(namesIn(results / "JPG"),
                       (std::set<std::string>{".quarry-partial-1-0", ".quarry-partial-x", "GND00001.JPG"}));
             EXPECT_TRUE(fs::exists(results / ".quarry-partial-999999999-0"));
         }},
        {"standard output on a full disk",
         [this] {
             return Args{"--json", image.string()};
         },
         4, "cannot write to the standard output", nothingSaved, true},
    };
    for (const auto& c : cases) {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            fs::remove_all(entry.path());
        SetUp();
        const auto args = c.prepare();
        Args withResources{"--resources", resources.string()};
        withResources.insert(withResources.end(), args.begin(), args.end());
        const auto r = c.stdoutFull ? runIntoFullDisk(withResources) : carve(withResources);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << "\n" << r.err;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "") << c.what;
        }
        c.written();
    }
}

} // namespace
} // namespace quarry::cli::test
