#include "carve_fixture.h"

#include "cli/carve_main.h"
#include "common/sector.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace quarry::cli::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "carve-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path corpusFile(const std::string& name) {
    return fs::path(QUARRY_TEST_CORPUS_DIR) / name;
}

std::vector<std::uint8_t> writeImage(const fs::path& image, std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed) {
    std::vector<std::uint8_t> bytes(sectors * kSectorSize, 0);
    if (filler == Filler::Random) {
        std::mt19937 random(seed);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
    }
    for (const auto& p : planted) {
        const auto file = readBytes(corpusFile(p.corpusName));
        if (file.empty() || p.sector * kSectorSize + file.size() > bytes.size())
            throw std::runtime_error("cannot plant " + p.corpusName);
        std::copy(file.begin(), file.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(p.sector * kSectorSize));
    }
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

namespace {

void writeDefinitionFile(const fs::path& file, const std::vector<Definition>& records) {
    std::ofstream out(file, std::ios::binary);
    for (const auto& r : records) {
        out << "Extension : ." << r.extension << "\n"
            << "Size : " << r.maxSize << "\n"
            << "Header : " << r.header << "\n"
            << "Position : " << r.position << "\n"
            << "Reserved : 0\n"
            << "Description : " << r.description << "\n\n";
    }
}

} // namespace

void writeDefinitions(const fs::path& folder, const DefinitionSet& set) {
    fs::create_directories(folder);
    writeDefinitionFile(folder / "QRYExt2.dll", set.photo);
    writeDefinitionFile(folder / "QRYExt2Adv.dll", set.photoThorough);
    writeDefinitionFile(folder / "QRYVideo.dll", set.video);
    writeDefinitionFile(folder / "QRYVideoAdv.dll", set.videoThorough);
    writeDefinitionFile(folder / "QRYRaw.dll", set.raw);
    writeDefinitionFile(folder / "QRYRawAdv.dll", set.rawThorough);
}

CarveRun carve(const std::vector<std::string>& args) {
    std::vector<std::string> storage{"quarry-carve"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    CarveRun run;
    run.status = carve_main(out, err, static_cast<int>(storage.size()), argv.data());
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::vector<std::uint8_t> sectorSlice(const std::vector<std::uint8_t>& image, std::uint64_t start,
                                      std::uint64_t end) {
    return {image.begin() + static_cast<std::ptrdiff_t>(start * kSectorSize),
            image.begin() + static_cast<std::ptrdiff_t>(end * kSectorSize)};
}

} // namespace quarry::cli::test
