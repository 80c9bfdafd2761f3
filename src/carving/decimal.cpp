#include "carving/decimal.h"

#include <limits>

namespace quarry::carving {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::int64_t readSigned64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude so the most negative value is reachable.
    constexpr std::uint64_t kMaxPositive =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
    std::uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) {
        return static_cast<std::int64_t>(magnitude);
    }
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                         : -static_cast<std::int64_t>(magnitude);
}

} // namespace quarry::carving
