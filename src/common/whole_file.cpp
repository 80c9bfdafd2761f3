#include "common/whole_file.h"

#include <fstream>
#include <sstream>

namespace quarry {

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace quarry
