#pragma once

#include <cstdint>
#include <string>

namespace quarry::carving {

class FoundFileGroups;

// Prefix, number zero-padded to five digits, '.', extension: GND00001.JPG. With `groups`
// (video and raw-file scans) the number is replaced by the count of the group whose hidden
// key equals the prefix, plus one, when such a group exists. Photo scans pass null.
std::string Generate_File_Name(std::uint64_t number, const std::string& prefix, const std::string& extension,
                               const FoundFileGroups* groups);

// GND00007.JPG or, thorough, THD00007.JPG.
std::string Generate_File_UID_Num(std::uint64_t number, bool thorough, const std::string& extension);

} // namespace quarry::carving
