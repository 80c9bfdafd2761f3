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

// An item event, reduced to what the tests compare; its uid must be its name.
struct Item {
    std::string pass, name;
    std::uint64_t start, end;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Item& i) {
    return os << i.pass << ' ' << i.name << " [" << i.start << ',' << i.end << ')';
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

using Keys = std::vector<std::string>;
using Groups = std::vector<std::vector<std::string>>;

template <typename T> std::vector<T> operator+(std::vector<T> list, const std::vector<T>& more) {
    list.insert(list.end(), more.begin(), more.end());
    return list;
}

const Keys kItemKeys{"event", "pass", "name", "uid", "start_sector", "end_sector", "unreadable_sectors"};
const Keys kSavedKeys =
    kItemKeys + Keys{"saved_path", "saved_bytes", "validated", "check", "type", "duplicate_of", "part_of"};
const Keys kSkippedKeys = kItemKeys + Keys{"skipped"};
const Keys kEndKeys{"event", "status", "sectors_scanned", "bad_sectors", "groups"};
const Keys kSavedEndKeys = kEndKeys + Keys{"saved",  "verified", "unverified", "rejected",
                                           "copies", "damaged",  "named",      "found_by_name"};

// Parses a JSON run: item events, then exactly one end event as the last line.
Stream parseStream(const std::string& out) {
    Stream stream;
    const auto lines = parseJsonLines(out);
    EXPECT_FALSE(lines.empty());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        const auto keys = keysOf(line);
        if (i + 1 == lines.size()) {
            EXPECT_TRUE(keys == kEndKeys || keys == kSavedEndKeys) << ::testing::PrintToString(keys);
            EXPECT_EQ(line.at("event").get<std::string>(), "end");
            stream.end = line;
            break;
        }
        EXPECT_TRUE(keys == kItemKeys || keys == kSavedKeys || keys == kSkippedKeys)
            << ::testing::PrintToString(keys);
        EXPECT_EQ(line.at("event").get<std::string>(), "item");
        EXPECT_EQ(line.at("uid"), line.at("name"));
        stream.skipped.push_back(keys == kSkippedKeys ? line.at("skipped").get<std::string>() : "");
        stream.items.push_back({line.at("pass").get<std::string>(), line.at("name").get<std::string>(),
                                line.at("start_sector").get<std::uint64_t>(),
                                line.at("end_sector").get<std::uint64_t>()});
        if (keys == kSavedKeys) {
            EXPECT_TRUE(line.at("validated").is_boolean());
            stream.saved.push_back(
                {textOf(line.at("saved_path")), line.at("saved_bytes").get<std::uint64_t>(),
                 line.at("validated").get<bool>(), textOf(line.at("check")), textOf(line.at("type")),
                 textOf(line.at("duplicate_of")), textOf(line.at("part_of"))});
        }
    }
    return stream;
}

Groups groupsOf(const Json& end) {
    Groups groups;
    for (const auto& g : end.at("groups")) {
        EXPECT_EQ(keysOf(g), (Keys{"FileTypes", "NoOfFile", "FileName"}));
        groups.push_back({g.at("FileTypes").get<std::string>(), g.at("NoOfFile").get<std::string>(),
                          g.at("FileName").get<std::string>()});
    }
    return groups;
}

std::string unknownType(const std::string& type) {
    return "quarry-carve: unknown file type '" + type +
           "'\nTry 'quarry-carve --help' for more information.\n";
}

const Definition kJpeg{"jpg", "10485760", "ffd8ff", "1", "JPEG picture"};
const Definition kPdf{"pdf", "1000", "25504446", "1", "PDF document"};

std::set<std::string> filesUnder(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.insert(entry.path().filename().string());
    return files;
}

// One run with --json and what it must give: the exit status and standard error exactly; on
// success the items, the sectors read and, when given, the found-file groups.
struct RunCase {
    std::vector<std::string> args{};
    std::vector<Item> items{};
    std::uint64_t sectorsScanned = 0;
    std::optional<Groups> groups{};
    int status = 0;
    std::string err{};
};

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

    CarveRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--resources", resources.string()});
        args.push_back(image.string());
        return carve(args);
    }

    void expectRuns(const std::vector<RunCase>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::PrintToString(c.args));
            auto args = c.args;
            args.insert(args.begin(), "--json");
            const auto r = run(args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.err, c.err);
            if (c.status != 0) {
                EXPECT_EQ(r.out, "");
                continue;
            }
            const auto stream = parseStream(r.out);
            EXPECT_EQ(stream.items, c.items);
            EXPECT_EQ(stream.end.at("status").get<std::string>(), "complete");
            EXPECT_EQ(stream.end.at("sectors_scanned").get<std::uint64_t>(), c.sectorsScanned);
            EXPECT_EQ(stream.end.at("bad_sectors").get<std::uint64_t>(), 0u);
            if (c.groups) {
                EXPECT_EQ(groupsOf(stream.end), *c.groups);
            }
        }
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

TEST_F(PhotoCarve, PassesRangeAndTypesGiveTheirItems) {
    const std::vector<Item> general{{"general", "GND00001.JPG", 100, 300},
                                    {"general", "GND00002.PNG", 300, 1200},
                                    {"general", "GND00003.JPG", 1200, 2048}};
    const std::vector<Item> both = general + std::vector<Item>{{"thorough", "THD00001.JPG", 100, 1200},
                                                               {"thorough", "THD00002.JPG", 1200, 2048}};
    const std::string badStart = "Please enter valid Start Sector value.\n";
    const std::string badEnd = "Please enter valid End Sector value.\n";
    const std::string tooBig = "Maximum sector range exceeded\n";
    expectRuns({
        {.args = {}, .items = both, .sectorsScanned = 4096, .groups = Groups{}},
        {.args = {"--start", "200", "--end", "1300"},
         .items = {{"general", "GND00001.PNG", 300, 1200},
                   {"general", "GND00002.JPG", 1200, 1300},
                   {"thorough", "THD00001.JPG", 1200, 1300}},
         .sectorsScanned = 2200},
        {.args = {"--no-thorough"}, .items = general, .sectorsScanned = 2048},
        {.args = {"--start", "0", "--end", "2048", "--no-thorough"},
         .items = general,
         .sectorsScanned = 2048},
        // Only PNG: the JPEG headers are no longer headers, and the thorough list has no PNG.
        {.args = {"--types", "PNG"},
         .items = {{"general", "GND00001.PNG", 300, 2048}},
         .sectorsScanned = 2048},
        {.args = {"--types", "PNG,GIF"}, .status = 2, .err = unknownType("GIF")},
        // One case per range message: the rules themselves are the range checks' own tests.
        {.args = {"--start", "1a", "--end", "10"}, .status = 2, .err = badStart},
        {.args = {"--start", "00001", "--end", "10"}, .status = 2, .err = tooBig + badStart},
        {.args = {"--start", "0", "--end", "9x"}, .status = 2, .err = badEnd},
        {.args = {"--start", "0", "--end", "2049"}, .status = 2, .err = tooBig + badEnd},
        {.args = {"--start", "2048", "--end", "2048"},
         .status = 2,
         .err = "End Sector should be greater than Start Sector.\n"},
    });
}

TEST_F(PhotoCarve, JsonLinesAndTheSummaryWithProgress) {
    const auto json = run({"--json"});
    EXPECT_EQ(json.out.substr(0, json.out.find('\n')),
              R"({"event":"item","pass":"general","name":"GND00001.JPG","uid":"GND00001.JPG",)"
              R"("start_sector":100,"end_sector":300,"unreadable_sectors":0})");

    const auto r = run({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(kGeneralLabel), std::string::npos);
    EXPECT_NE(r.err.find("Scan complete: 4096 sectors read in "), std::string::npos);
    EXPECT_EQ(r.out.find('{'), std::string::npos);
    EXPECT_NE(r.out.find("complete"), std::string::npos);
    EXPECT_NE(r.out.find("THD00002.JPG"), std::string::npos);
    EXPECT_NE(r.out.find("PNG"), std::string::npos);
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

TEST_F(PhotoCarve, ABrokenPhotoIsRejectedAndKeptOnlyOnRequest) {
    // The PNG is wiped from its 20th sector on, so its chunks run into zeros.
    bytes =
        writeImage(image, 2048, Filler::Zero, {{"018_julia-set.png", 300}, {"042_Pentax_K10D.jpg", 1200}});
    std::fill(bytes.begin() + 320 * 512, bytes.begin() + 1200 * 512, 0);
    writeBytes(image, bytes);
    const auto out = dir.path() / "out";
    const auto r = run({"--json", "--no-thorough", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items, (std::vector<Item>{{"general", "GND00001.PNG", 300, 1200},
                                               {"general", "GND00002.JPG", 1200, 2048}}));
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

// Types and the thorough switch follow the check list: a ticked type of the thorough list
// keeps its group, at 0, when that pass does not run.
TEST_F(RawCarve, PassesAndTypesGiveTheirItemsAndGroups) {
    const std::vector<Item> general{{"general", "PDF00001.PDF", 100, 401},
                                    {"general", "DOC00001.DOC", 400, 2001},
                                    {"general", "PDF00002.PDF", 2000, 4096}};
    expectRuns({
        {.args = {"--mode", "raw"},
         .items = general + std::vector<Item>{{"thorough", "PDF00003.PDF", 100, 901},
                                              {"thorough", "GIF00001.GIF", 900, 2001},
                                              {"thorough", "PDF00004.PDF", 2000, 4096}},
         .sectorsScanned = 8192,
         .groups = Groups{{"PDF", "4", "PDF00004.PDF"},
                          {"DOC", "1", "DOC00001.DOC"},
                          {"GIF", "1", "GIF00001.GIF"}}},
        {.args = {"--mode", "raw", "--no-thorough"},
         .items = general,
         .sectorsScanned = 4096,
         .groups = Groups{{"PDF", "2", "PDF00002.PDF"}, {"DOC", "1", "DOC00001.DOC"}, {"GIF", "0", ""}}},
        {.args = {"--mode", "raw", "--types", "PDF"},
         .items = {{"general", "PDF00001.PDF", 100, 2001},
                   {"general", "PDF00002.PDF", 2000, 4096},
                   {"thorough", "PDF00003.PDF", 100, 2001},
                   {"thorough", "PDF00004.PDF", 2000, 4096}},
         .sectorsScanned = 8192,
         .groups = Groups{{"PDF", "4", "PDF00004.PDF"}}},
        // Only a thorough type and no thorough pass: nothing is read.
        {.args = {"--mode", "raw", "--types", "GIF", "--no-thorough"},
         .sectorsScanned = 0,
         .groups = Groups{{"GIF", "0", ""}}},
        {.args = {"--mode", "raw", "--types", ""},
         .status = 2,
         .err = "Please select atleast one extension type.\n"},
        {.args = {"--mode", "raw", "--types", "PDF,pdf"}, .status = 2, .err = unknownType("pdf")},
        // The video lists are separate: no raw-file type is known there.
        {.args = {"--mode", "video"},
         .items = {{"general", "MOV00001.MOV", 3000, 4096}},
         .sectorsScanned = 4096},
        {.args = {"--mode", "video", "--types", "PDF"}, .status = 2, .err = unknownType("PDF")},
    });

    writeDefinitions(resources, {});
    const auto empty = run({"--mode", "video"});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "Please select atleast one extension type.\n");
}

// Every item is its planted file, saved whole in <folder>/<extension>/<name> unless it is a
// copy of an earlier one.
TEST_F(RawCarve, SavedFilesAreTheCorpusFilesWhateverTheItemsSpan) {
    const auto out = dir.path() / "out";
    const auto r = run({"--mode", "raw", "--json", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto folder = out / "Quarry (Vez) Results" / "File Search" / "General Recovery Results";
    const auto stream = parseStream(r.out);
    ASSERT_EQ(stream.items.size(), 6u);
    ASSERT_EQ(stream.saved.size(), stream.items.size());
    const std::map<std::uint64_t, std::string> planted{
        {100, "092_032270.pdf"}, {400, "066_text_only.doc"}, {900, "033_atop.gif"}, {2000, "092_032270.pdf"}};
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
        // The thumbnail inside the first photo is no file of its own.
        if (std::string(c.mode) == "photo") {
            EXPECT_EQ(stream.saved.at(1).partOf, "GND00001.JPG");
        }
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
    const Check noOutputFolder = [this] {
        EXPECT_FALSE(fs::exists(out));
    };
    const Check photoSaved = [this] {
        EXPECT_EQ(readBytes(results / "JPG" / "GND00001.JPG"), corpusBytes("040_Canon_40D.jpg"));
    };
    const auto d = dir.path();
    const Args saveImage{"--json", "--output", out.string(), image.string()};
    struct Case {
        const char* what;
        Args args; // after --resources
        int status;
        std::string message; // part of stderr
        Check written;       // what must (not) have been written
        std::function<void()> prepare = nullptr;
        bool stdoutFull = false;
    };
    const std::vector<Case> cases{
        {"missing source",
         {"--json", (d / "missing.img").string()},
         1,
         "missing.img: No such file or directory",
         nothingSaved},
        {"folder as source", {"--json", d.string()}, 1, "a folder is not a medium", nothingSaved},
        {"FIFO as source (never blocks)",
         {"--json", "--output", out.string(), (d / "fifo").string()},
         1,
         "a named pipe (FIFO) is not a medium",
         noOutputFolder,
         [&] {
             EXPECT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
         }},
        {"socket as source",
         {"--json", (d / "socket").string()},
         1,
         "a socket is not a medium",
         nothingSaved,
         [&] {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, (d / "socket").c_str(), sizeof address.sun_path - 1);
             EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(fd);
         }},
        {"character device as source",
         {"--json", "--output", out.string(), "/dev/null"},
         1,
         "a character device has no sectors to scan",
         noOutputFolder},
        {"empty image",
         {"--json", (d / "empty.img").string()},
         1,
         "the medium is empty",
         nothingSaved,
         [&] {
             writeFile(d / "empty.img", "");
         }},
        {"image smaller than a sector is one sector, zero-padded",
         {"--json", "--start=0", "--end=1", (d / "tiny.img").string()},
         0,
         "",
         nothingSaved,
         [&] {
             writeFile(d / "tiny.img", "abc");
         }},
        {"no definition files", saveImage, 2,
         "definition file " + (d / "nowhere" / "QRYExt2.dll").string() + " is missing", noOutputFolder,
         [&] {
             resources = d / "nowhere";
         }},
        {"one definition file missing, the scan goes on", saveImage, 0,
         "QRYExt2Adv.dll is missing; its signatures are not searched for", photoSaved,
         [&] {
             fs::remove(resources / "QRYExt2Adv.dll");
         }},
        {"record with a header position of twenty nines", saveImage, 0,
         "QRYExt2.dll: 1 record(s) with a size or header position out of range were skipped", photoSaved,
         [&] {
             std::ofstream(resources / "QRYExt2.dll", std::ios::app)
                 << "E : .jpg\nS : 1024\nHeader : FFD8\nHeader position : 99999999999999999999\nK : k\nD : "
                    "d\n";
         }},
        {"output below a file",
         {"--json", "--output", (d / "blocker" / "out").string(), image.string()},
         2,
         "cannot create the folder",
         [&] { EXPECT_EQ(readText(d / "blocker"), "a file where a folder should be"); },
         [&] {
             writeFile(d / "blocker", "a file where a folder should be");
         }},
        {"symbolic link as a results folder", saveImage, 2,
         "a symbolic link stands where a results folder should be",
         [&] { EXPECT_TRUE(fs::is_empty(d / "elsewhere")); },
         [&] {
             fs::create_directories(results.parent_path());
             fs::create_directories(d / "elsewhere");
             fs::create_directory_symlink(d / "elsewhere", results);
         }},
        {"dangling symbolic link as a results folder", saveImage, 2,
         "a symbolic link stands where a results folder should be",
         [&] { EXPECT_FALSE(fs::exists(d / "gone")); },
         [&] {
             fs::create_directories(out / "Quarry (Vez) Results");
             fs::create_directory_symlink(d / "gone", out / "Quarry (Vez) Results" / "Photo Search");
         }},
        {"partial files of killed runs", saveImage, 0, "",
         [&] {
             EXPECT_EQ(namesIn(results / "JPG"),
                       (std::set<std::string>{".quarry-partial-1-0", ".quarry-partial-x", "GND00001.JPG"}));
             EXPECT_TRUE(fs::exists(results / ".quarry-partial-999999999-0"));
         },
         [&] {
             fs::create_directories(results / "JPG");
             // pid_max is at most 2^22: no process has the first number.
             writeFile(results / "JPG" / ".quarry-partial-999999999-0", "killed");
             writeFile(results / "JPG" / ".quarry-partial-1-0", "init is alive and older");
             writeFile(results / "JPG" / ".quarry-partial-x", "not ours");
             // Only the extension folders hold partial files: one elsewhere is someone else's.
             writeFile(results / ".quarry-partial-999999999-0", "outside the type folders");
         }},
        {"standard output on a full disk",
         {"--json", image.string()},
         4,
         "cannot write to the standard output",
         nothingSaved,
         [] {},
         true},
    };
    for (const auto& c : cases) {
        for (const auto& entry : fs::directory_iterator(d))
            fs::remove_all(entry.path());
        SetUp();
        if (c.prepare)
            c.prepare();
        Args args{"--resources", resources.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = c.stdoutFull ? runIntoFullDisk(args) : carve(args);
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
