#pragma once

#include <filesystem>
#include <string>

namespace quarry {

// The whole content of a small text file (a sysfs attribute, the mount table); empty when it
// cannot be read.
std::string readWholeFile(const std::filesystem::path& path);

} // namespace quarry
