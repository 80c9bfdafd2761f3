#pragma once

#include "disk_image.h"
#include "json_lines.h"
#include "test_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quarry::cli::test {

using namespace quarry::test;

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

} // namespace quarry::cli::test
