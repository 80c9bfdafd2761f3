#include "common/decimal.h"

#include <limits>

namespace quarry {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct Reading {
    std::int64_t value = 0; // saturated on overflow
    bool overflow = false;
};

Reading read(std::string_view text) {
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
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            overflow = true;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) {
        return {static_cast<std::int64_t>(magnitude), overflow};
    }
    return {magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                          : -static_cast<std::int64_t>(magnitude),
            overflow};
}

} // namespace

std::int64_t readSigned64(std::string_view text) {
    return read(text).value;
}

std::optional<std::int64_t> readSigned64Exact(std::string_view text) {
    const Reading reading = read(text);
    if (reading.overflow) {
        return std::nullopt;
    }
    return reading.value;
}

} // namespace quarry
