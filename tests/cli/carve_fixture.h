#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quarry::cli::test {

namespace fs = std::filesystem;

// A folder of its own for one test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<std::uint8_t> readBytes(const fs::path& file);
fs::path corpusFile(const std::string& name);

// A corpus file placed at a sector of a disk image.
struct Planted {
    std::string corpusName;
    std::uint64_t sector;
};

enum class Filler { Zero, Random };

// Writes an image of `sectors` sectors: the filler (random bytes from `seed`), then the
// planted files. Returns the image's bytes as written.
std::vector<std::uint8_t> writeImage(const fs::path& image, std::uint64_t sectors, Filler filler,
                                     const std::vector<Planted>& planted, unsigned seed = 1);

// One signature record as a definition file spells it.
struct Definition {
    std::string extension; // written as ".ext", so the parser stores it in upper case
    std::string maxSize;
    std::string header;   // hex digits
    std::string position; // "1", "nn" or a number
    std::string description;
};

// Writes the six definition files into `folder`; a list left empty gives an empty file.
struct DefinitionSet {
    std::vector<Definition> photo, photoThorough, video, videoThorough, raw, rawThorough;
};
void writeDefinitions(const fs::path& folder, const DefinitionSet& set);

struct CarveRun {
    int status = -1;
    std::string out;
    std::string err;
};

// carve_main in this process with these arguments (the program name is added).
CarveRun carve(const std::vector<std::string>& args);

// The bytes of sectors [start, end) of an image.
std::vector<std::uint8_t> sectorSlice(const std::vector<std::uint8_t>& image, std::uint64_t start,
                                      std::uint64_t end);

} // namespace quarry::cli::test
