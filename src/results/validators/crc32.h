#pragma once

#include "results/validators/byte_reader.h"

#include <cstdint>
#include <span>

namespace quarry::results::validators {

// The common CRC-32 (reflected polynomial 0xEDB88320), as archives store it.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous = 0);

// CRC-32 of `count` bytes from `offset`, or nullopt when they cannot all be read.
std::optional<std::uint32_t> crc32(ByteReader& in, std::uint64_t offset, std::uint64_t count);

} // namespace quarry::results::validators
