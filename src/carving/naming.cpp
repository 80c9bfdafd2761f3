#include "carving/naming.h"

#include "carving/found_groups.h"

#include <cinttypes>
#include <cstdio>

namespace quarry::carving {

namespace {

// Numbers below five digits are zero-padded to five; longer ones are printed in full.
std::string padded(std::uint64_t number) {
    char text[32];
    std::snprintf(text, sizeof text, "%05" PRIu64, number);
    return text;
}

} // namespace

std::string Generate_File_Name(std::uint64_t number, const std::string& prefix, const std::string& extension,
                               const FoundFileGroups* groups) {
    if (groups != nullptr) {
        if (const auto count = groups->countFor(prefix)) {
            number = *count + 1;
        }
    }
    return prefix + padded(number) + "." + extension;
}

std::string Generate_File_UID_Num(std::uint64_t number, bool thorough, const std::string& extension) {
    return (thorough ? "THD" : "GND") + padded(number) + "." + extension;
}

} // namespace quarry::carving
