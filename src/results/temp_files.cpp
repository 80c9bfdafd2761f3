#include "results/temp_files.h"

#include <filesystem>
#include <system_error>

namespace quarry::results {

namespace fs = std::filesystem;

bool isTemporaryPreviewName(const std::string& name) {
    // A leading dot starts a hidden name, not an extension.
    const auto dot = name.rfind('.');
    const auto base = (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
    return base == "dprv";
}

void deleteTemporaryPreviewFiles(const std::string& currentFile, const std::string& folder) {
    std::error_code ec;
    if (!currentFile.empty())
        fs::remove(currentFile, ec);

    if (!fs::is_directory(folder, ec))
        return;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!isTemporaryPreviewName(it->path().filename().string()))
            continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

} // namespace quarry::results
