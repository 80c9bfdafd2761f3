#pragma once

#include "results/validators/byte_reader.h"

#include <array>
#include <cstdint>
#include <optional>

namespace quarry::results::validators {

inline constexpr std::array<std::uint8_t, 2> kJpegXlCodestreamSignature = {0xFF, 0x0A};

// Offset after the bare JPEG XL codestream that starts `in`: the signature, the image size and
// metadata, then frames up to the last one, each a header and a table of contents whose section sizes
// give the frame's length. Every field read must hold a value the format allows and every padding bit
// be zero. Codestreams with an embedded colour profile or a preview frame are not followed.
std::optional<std::uint64_t> jpegXlCodestreamEnd(ByteReader& in);

} // namespace quarry::results::validators
