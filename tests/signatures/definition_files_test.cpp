// The six definition files that ship with the application: their form, and their headers
// against real files of the test corpus, through the engines' own header test.
#include "carving/header_test.h"
#include "signatures/definition_parser.h"
#include "test_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quarry::signatures {
namespace {

namespace fs = std::filesystem;
using Sector = std::array<std::uint8_t, 512>;
using test::readText;

constexpr std::uint64_t kPhotoSizeCeiling = 128ULL * 1024 * 1024; // a photo is collected in memory

struct Variant {
    std::string type;
    std::string header;
    std::string position;
    auto operator<=>(const Variant&) const = default;
};

// Headers of variants that no corpus file shows, by type and position: the test can only
// check their form.
const std::set<Variant> kNoCorpusSample = [] {
    const struct {
        const char* type;
        const char* position;
        std::vector<const char*> headers;
    } rows[] = {
        {"JPG", "1", {"FFD8FFEE", "FFD8FFE2", "FFD8FFED"}},
        {"GIF", "1", {"474946383761"}},
        {"BMP",
         "7",
         {"000000003604000028000000", "000000007600000028000000", "000000003E00000028000000",
          "000000008A0000007C000000", "000000007A0000006C000000"}},
        {"TIF", "1", {"4D4D002A", "49492B00", "4D4D002B"}},
        {"MOV", "5", {"6D6F6F76", "6D646174", "77696465", "66726565", "736B6970", "706E6F74"}},
        {"MP4",
         "5",
         {"6674797069736F32", "6674797069736F34", "6674797069736F35", "6674797069736F36", "667479706D703431",
          "6674797061766331", "6674797064617368", "667479704D534E56", "6674797058415643",
          "667479706D6D7034"}},
        {"MKV", "29", {"4282886D6174726F736B61"}},
        {"OOXML", "31", {"5F72656C732F"}},
        {"XLSX", "31", {"786C2F"}},
        {"ZIP", "1", {"504B0708"}},
        {"MP3", "1", {"49443302", "49443304", "FFFB", "FFFA", "FFF3", "FFF2", "FFE3"}},
    };
    std::set<Variant> variants;
    for (const auto& row : rows) {
        for (const char* header : row.headers) {
            variants.insert({row.type, header, row.position});
        }
    }
    return variants;
}();

// Records that find every type of a container family under one extension; the saved file
// gets its real type from the file's structure.
const std::map<std::string, std::set<std::string>> kFamilies = {
    {"OLE", {"DOC", "XLS", "PPT"}},
    {"OOXML", {"DOCX", "XLSX", "PPTX"}},
};

// The extension itself, or the family record's extension that finds it.
bool findsType(const std::set<std::string>& found, const std::string& type) {
    return std::any_of(found.begin(), found.end(), [&](const std::string& extension) {
        const auto family = kFamilies.find(extension);
        return extension == type || (family != kFamilies.end() && family->second.count(type) == 1);
    });
}

struct ShippedList {
    const char* file;
    SignatureList SignatureLists::*list;
    bool photo;   // the photo engine names a sector after the first match only
    bool general; // general lists must recognise every corpus file of their types
};

const ShippedList kShipped[] = {
    {"QRYExt2.dll", &SignatureLists::Ext_Array, true, true},
    {"QRYExt2Adv.dll", &SignatureLists::Adv_Ext_Array, true, false},
    {"QRYVideo.dll", &SignatureLists::Video_Array, false, true},
    {"QRYVideoAdv.dll", &SignatureLists::Adv_Video_Array, false, false},
    {"QRYRaw.dll", &SignatureLists::RawFile_Array, false, true},
    {"QRYRawAdv.dll", &SignatureLists::Adv_RawFile_Array, false, false},
};

template <typename Pred> bool allOf(const std::string& s, Pred pred) {
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [&pred](char c) { return pred(static_cast<unsigned char>(c)) != 0; });
}

// The extensions an engine gives a sector: the first matching record's, or (raw-file engine)
// those of every record from it onward that shares its header and position.
std::set<std::string> typesFound(const std::vector<carving::CompiledSignature>& sigs, const Sector& sector,
                                 bool photo) {
    for (std::size_t r = 0; r < sigs.size(); ++r) {
        if (!carving::matchesHeader(sigs[r], sector.data())) {
            continue;
        }
        if (photo) {
            return {sigs[r].extension};
        }
        std::set<std::string> types;
        for (std::size_t q = r; q < sigs.size(); ++q) {
            if (sigs[q].headerText == sigs[r].headerText && sigs[q].positionText == sigs[r].positionText) {
                types.insert(sigs[q].extension);
            }
        }
        return types;
    }
    return {};
}

std::size_t headerOffset(const carving::CompiledSignature& sig) {
    return sig.position == carving::HeaderPosition::Offset ? static_cast<std::size_t>(sig.offset) : 0;
}

struct CorpusFile {
    std::string type; // the MANIFEST format in upper case, as an extension field reads
    fs::path path;
    Sector firstSector{};
};

class ShippedDefinitionFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lists_ = loadSignatureLists(QUARRY_TEST_RESOURCE_DIR);
        loadCorpus();
    }

    static void loadCorpus() {
        const fs::path dir = QUARRY_TEST_CORPUS_DIR;
        std::ifstream manifest(dir / "MANIFEST.csv");
        std::string line;
        std::getline(manifest, line); // column titles
        while (std::getline(manifest, line)) {
            std::istringstream fields(line);
            std::string name;
            std::string format;
            if (!std::getline(fields, name, ',') || !std::getline(fields, format, ',')) {
                continue;
            }
            CorpusFile file;
            std::transform(format.begin(), format.end(), std::back_inserter(file.type),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            file.path = dir / name;
            std::ifstream in(file.path, std::ios::binary);
            in.read(reinterpret_cast<char*>(file.firstSector.data()), file.firstSector.size());
            if (in.gcount() > 0) {
                corpus_.push_back(file);
            }
        }
    }

    static const SignatureList& listOf(const ShippedList& shipped) { return lists_.*(shipped.list); }

    static SignatureLists lists_;
    static std::vector<CorpusFile> corpus_;
};

SignatureLists ShippedDefinitionFiles::lists_;
std::vector<CorpusFile> ShippedDefinitionFiles::corpus_;

TEST_F(ShippedDefinitionFiles, LoadIntoSixNonEmptyListsOfWholeRecords) {
    ParseState state;
    for (const ShippedList& shipped : kShipped) {
        SCOPED_TRACE(shipped.file);
        const SignatureList& list = listOf(shipped);
        EXPECT_FALSE(list.empty());
        EXPECT_EQ(list.size() % kRecordFields, 0u);

        // Each file on its own holds whole groups, so nothing is dropped or carried over.
        SignatureList alone;
        const auto report =
            loadDefinitionFile(fs::path(QUARRY_TEST_RESOURCE_DIR) / shipped.file, alone, state);
        ASSERT_TRUE(report.loaded());
        EXPECT_EQ(report.malformedRecords, 0u);
        EXPECT_EQ(alone, list);
        EXPECT_EQ(state.pendingFirstByte, "");
    }
}

TEST_F(ShippedDefinitionFiles, EveryRecordIsWellFormed) {
    for (const ShippedList& shipped : kShipped) {
        const SignatureList& list = listOf(shipped);
        for (std::size_t i = 0; i + kRecordFields <= list.size(); i += kRecordFields) {
            SCOPED_TRACE(std::string(shipped.file) + " record " + std::to_string(i / kRecordFields) + " " +
                         list[i]);
            const std::string& header = list[i + 2];
            const std::string& position = list[i + 3];

            EXPECT_TRUE(allOf(list[i], [](int c) { return std::isupper(c) || std::isdigit(c); }));
            ASSERT_TRUE(allOf(list[i + 1], [](int c) { return std::isdigit(c); }));
            const std::uint64_t size = std::stoull(list[i + 1]);
            EXPECT_GT(size, 512u);
            if (shipped.photo) {
                EXPECT_LE(size, kPhotoSizeCeiling);
            }
            ASSERT_TRUE(allOf(header, [](int c) { return std::isxdigit(c); }));
            ASSERT_EQ(header.size() % 2, 0u);
            const std::size_t bytes = header.size() / 2;
            EXPECT_GE(bytes, 2u);
            if (position != "1" && position != "nn") {
                ASSERT_TRUE(allOf(position, [](int c) { return std::isdigit(c); }));
                const std::size_t oneBased = std::stoul(position);
                EXPECT_GE(oneBased, 2u);
                EXPECT_LE(oneBased, 507u);
                EXPECT_LE(oneBased - 1 + bytes, 512u);
            }
            EXPECT_FALSE(list[i + 4].empty());
            EXPECT_FALSE(list[i + 5].empty());
            EXPECT_EQ(list[i + 6], std::to_string(hex2int(header.substr(0, 2))));
        }
    }
}

TEST_F(ShippedDefinitionFiles, OnlyTheExtensionLineHoldsADotAndTheThirdLineIsTheHeader) {
    for (const ShippedList& shipped : kShipped) {
        std::istringstream text(readText(fs::path(QUARRY_TEST_RESOURCE_DIR) / shipped.file));
        std::size_t counted = 0;
        std::string line;
        while (std::getline(text, line)) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) {
                continue;
            }
            SCOPED_TRACE(std::string(shipped.file) + ": " + line);
            const std::string value = line.substr(colon + 1);
            const std::size_t place = counted++ % (kRecordFields - 1);
            if (place == 0) {
                EXPECT_EQ(std::count(value.begin(), value.end(), '.'), 1);
                EXPECT_EQ(value.find_first_not_of(' '), value.find('.'));
            } else {
                EXPECT_EQ(value.find('.'), std::string::npos);
            }
            EXPECT_EQ(line.substr(0, colon + 1) == "Header :", place == 2);
        }
    }
}

TEST_F(ShippedDefinitionFiles, NoRecordIsHiddenByAnEarlierOne) {
    for (const ShippedList& shipped : kShipped) {
        const std::vector<carving::CompiledSignature> sigs = carving::compileList(listOf(shipped));
        for (const carving::CompiledSignature& sig : sigs) {
            SCOPED_TRACE(std::string(shipped.file) + " record " + std::to_string(sig.recordIndex) + " " +
                         sig.extension + " " + sig.headerText);
            Sector sector{};
            std::copy(sig.header.begin(), sig.header.end(), sector.begin() + headerOffset(sig));
            ASSERT_TRUE(carving::matchesHeader(sig, sector.data()));
            const std::size_t first =
                static_cast<std::size_t>(std::find_if(sigs.begin(), sigs.end(),
                                                      [&](const carving::CompiledSignature& s) {
                                                          return carving::matchesHeader(s, sector.data());
                                                      }) -
                                         sigs.begin());
            if (shipped.photo) {
                EXPECT_EQ(first, sig.recordIndex) << "photo names come from the first match only";
            } else {
                EXPECT_EQ(sigs[first].headerText, sig.headerText);
                EXPECT_EQ(sigs[first].positionText, sig.positionText);
            }
        }
    }
}

TEST_F(ShippedDefinitionFiles, GeneralListsRecogniseEveryCorpusFileOfTheirTypes) {
    if (corpus_.empty()) {
        GTEST_SKIP() << "no corpus at " << QUARRY_TEST_CORPUS_DIR;
    }
    for (const ShippedList& shipped : kShipped) {
        if (!shipped.general) {
            continue;
        }
        const std::vector<carving::CompiledSignature> sigs = carving::compileList(listOf(shipped));
        for (const CorpusFile& file : corpus_) {
            const bool listHasType =
                std::any_of(sigs.begin(), sigs.end(), [&](const carving::CompiledSignature& s) {
                    return findsType({s.extension}, file.type);
                });
            if (listHasType) {
                EXPECT_TRUE(findsType(typesFound(sigs, file.firstSector, shipped.photo), file.type))
                    << shipped.file << " does not recognise " << file.path;
            }
        }
    }
}

TEST_F(ShippedDefinitionFiles, EveryRecordAgreesWithARealFileWhereTheCorpusHasOne) {
    if (corpus_.empty()) {
        GTEST_SKIP() << "no corpus at " << QUARRY_TEST_CORPUS_DIR;
    }
    std::set<std::string> corpusTypes;
    for (const CorpusFile& file : corpus_) {
        corpusTypes.insert(file.type);
        for (const auto& [family, members] : kFamilies) {
            if (members.count(file.type) == 1) {
                corpusTypes.insert(family);
            }
        }
    }
    std::size_t checked = 0;
    std::size_t exemptionsUsed = 0;
    for (const ShippedList& shipped : kShipped) {
        const std::vector<carving::CompiledSignature> sigs = carving::compileList(listOf(shipped));
        for (const carving::CompiledSignature& sig : sigs) {
            // Records that share a header open their types together; a file of any of
            // those types bears the header out.
            std::set<std::string> sharing;
            for (const carving::CompiledSignature& other : sigs) {
                if (other.headerText == sig.headerText && other.positionText == sig.positionText) {
                    sharing.insert(other.extension);
                }
            }
            if (corpusTypes.count(sig.extension) == 0) {
                continue;
            }
            const bool agrees = std::any_of(corpus_.begin(), corpus_.end(), [&](const CorpusFile& file) {
                return findsType(sharing, file.type) && carving::matchesHeader(sig, file.firstSector.data());
            });
            const bool exempt = kNoCorpusSample.count({sig.extension, sig.headerText, sig.positionText}) == 1;
            if (exempt) {
                ++exemptionsUsed;
            }
            EXPECT_NE(agrees, exempt) << shipped.file << " record " << sig.recordIndex << " " << sig.extension
                                      << " " << sig.headerText
                                      << (agrees ? " matches a corpus file: drop it from the exemptions"
                                                 : " matches no corpus file of its type");
            checked += agrees ? 1 : 0;
        }
    }
    EXPECT_GT(checked, 25u);
    EXPECT_EQ(exemptionsUsed, kNoCorpusSample.size()) << "an exemption names no record of a corpus type";
}

} // namespace
} // namespace quarry::signatures
