#include "carve_fixture.h"

#include "cli/carve_main.h"

#include <fstream>
#include <sstream>

namespace quarry::cli::test {

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

} // namespace quarry::cli::test
