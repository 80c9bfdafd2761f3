#pragma once

#include <cstddef>
#include <cstdint>

namespace quarry {

// Media are always addressed in 512-byte sectors; the device is never asked for its block size.
inline constexpr std::size_t kSectorSize = 512;

} // namespace quarry
