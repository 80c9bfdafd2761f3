#include "carving/memory_source.h"
#include "engine_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>

namespace quarry::carving {
namespace {

using namespace test_support;
namespace fs = std::filesystem;

struct Planted {
    std::string file;
    std::uint64_t sector;
};

// Real files of the given formats laid one after another on sector boundaries, with a few
// blank sectors between them, as a freshly formatted card holds them.
std::vector<std::uint8_t> plantCorpus(const std::set<std::string>& formats, std::vector<Planted>& planted) {
    const fs::path corpus = QUARRY_TEST_CORPUS_DIR;
    std::ifstream manifest(corpus / "MANIFEST.csv");
    std::vector<std::uint8_t> image(8 * kSectorSize, 0);
    std::string line;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name;
        std::string format;
        std::getline(fields, name, ',');
        std::getline(fields, format, ',');
        if (formats.count(format) == 0) {
            continue;
        }
        std::ifstream in(corpus / name, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        planted.push_back({name, image.size() / kSectorSize});
        image.insert(image.end(), bytes.begin(), bytes.end());
        image.resize((image.size() / kSectorSize + 3) * kSectorSize, 0);
    }
    return image;
}

class CarvingCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(fs::path(QUARRY_TEST_CORPUS_DIR) / "MANIFEST.csv")) {
            GTEST_SKIP() << "no corpus";
        }
        lists = signatures::loadSignatureLists(QUARRY_TEST_RESOURCE_DIR);
        if (lists.Ext_Array.empty() || lists.RawFile_Array.empty()) {
            GTEST_SKIP() << "definition files not built";
        }
    }

    static std::set<std::uint64_t> starts(const ScanRun& run) {
        std::set<std::uint64_t> out;
        for (const Item& item : items(run.events)) {
            out.insert(item.first);
        }
        return out;
    }

    signatures::SignatureLists lists;
};

TEST_F(CarvingCorpus, ShippedPhotoListFindsEveryPlantedPhotoWithItsBytes) {
    std::vector<Planted> planted;
    MemorySource source(plantCorpus({"jpg", "png", "gif", "tif", "bmp"}, planted));
    ASSERT_FALSE(planted.empty());
    ScanSetup setup;
    setup.general = &lists.Ext_Array;
    setup.thoroughPass = false;
    PhotoCounters counters;
    const ScanRun run = runPhoto(&source, setup, counters);
    for (const Planted& p : planted) {
        const auto it = std::find_if(run.events.begin(), run.events.end(), [&](const Event& e) {
            return e.kind == "photo" && e.first == p.sector;
        });
        ASSERT_NE(it, run.events.end()) << p.file;
        const auto index =
            std::count_if(run.events.begin(), it, [](const Event& e) { return e.kind == "photo"; });
        const auto& photo = run.photos[static_cast<std::size_t>(index)];
        EXPECT_TRUE(std::equal(photo.begin(), photo.end(), source.bytes().begin() + p.sector * kSectorSize))
            << p.file;
    }
}

TEST_F(CarvingCorpus, ShippedFileAndVideoListsFindEveryPlantedFile) {
    std::vector<Planted> planted;
    MemorySource source(
        plantCorpus({"pdf", "zip", "doc", "xls", "docx", "mp3", "wav", "odt", "mov", "avi"}, planted));
    ASSERT_FALSE(planted.empty());
    signatures::SignatureList both = lists.RawFile_Array;
    both.insert(both.end(), lists.Video_Array.begin(), lists.Video_Array.end());
    ScanSetup setup;
    setup.general = &both;
    setup.thoroughPass = false;
    FoundFileGroups groups;
    const auto found = starts(runRaw(&source, setup, groups));
    for (const Planted& p : planted) {
        EXPECT_EQ(found.count(p.sector), 1u) << p.file;
    }
}

} // namespace
} // namespace quarry::carving
