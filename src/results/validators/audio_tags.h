#pragma once

#include "results/validators/byte_reader.h"

#include <cstdint>

namespace quarry::results::validators {

// Offset after the tags that players append behind the last audio frame, in any order: APEv2 (with
// or without its header), Lyrics3v2 and ID3v1. Each is taken only when its own size fields agree.
std::uint64_t skipTrailingTags(ByteReader& in, std::uint64_t pos);

} // namespace quarry::results::validators
