#pragma once

#include <string>

namespace quarry::results {

// True for the names of temporary preview files: "dprv" once its last extension is removed
// ("dprv", "dprv.jpg"; not "dprvx.jpg", "DPRV.jpg" or "dprv.tar.gz").
bool isTemporaryPreviewName(const std::string& name);

// Removes `currentFile` (when not empty), then every entry of `folder` (not its subfolders)
// whose name is a temporary preview name. Nothing is reported: an entry that cannot be
// removed stays and the walk goes on.
void deleteTemporaryPreviewFiles(const std::string& currentFile, const std::string& folder);

} // namespace quarry::results
