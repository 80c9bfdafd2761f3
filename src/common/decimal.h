#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quarry {

// A decimal text read as a signed 64-bit integer: leading white space skipped, an optional
// sign, digits up to the first non-digit; no digits give 0 and overflow saturates.
std::int64_t readSigned64(std::string_view text);

// The same reading, but nothing when the digits overflow instead of saturating.
std::optional<std::int64_t> readSigned64Exact(std::string_view text);

} // namespace quarry
