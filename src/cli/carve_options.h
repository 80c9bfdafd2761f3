#pragma once

#include "results/picture_size.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarry::cli {

enum class CarveMode { Photo, Video, Raw };

struct CarveOptions {
    CarveMode mode = CarveMode::Photo;
    std::optional<std::string> startText; // as typed, validated later against the medium
    std::optional<std::string> endText;
    bool thorough = true;
    std::optional<std::vector<std::string>> types; // unset: every type
    std::optional<std::string> resources;
    std::optional<std::string> output;
    bool keepRejected = false;                     // also save items whose format check failed
    std::uint64_t minSize = 0;                     // items carved smaller than this are not saved
    std::optional<results::PictureSize> minPixels; // photos smaller than this are not saved
    bool json = false;
    bool listMedia = false;
    bool help = false;
    std::string source;
};

struct ParsedArguments {
    CarveOptions options;
    std::string error; // non-empty: a usage error
};

// Reads the command line (argv[0] is skipped). Options take their value as the next
// argument or after '='; "--" ends the options.
ParsedArguments parseCarveArguments(const std::vector<std::string>& args);

// "EXT[,EXT...]" split at the commas; an empty text names no type.
std::vector<std::string> splitTypes(const std::string& text);

std::string usageText();

} // namespace quarry::cli
