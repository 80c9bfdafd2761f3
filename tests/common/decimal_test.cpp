#include "common/decimal.h"

#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace quarry {
namespace {

constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();

struct DecimalCase {
    const char* text;
    std::int64_t saturated;
    std::optional<std::int64_t> exact; // none: the digits overflow
};

TEST(Decimal, ReadsAnIntegerPrefixSaturatingOrRefusingOverflow) {
    const DecimalCase cases[] = {
        {"  \t42abc", 42, 42},
        {"\n\v\f\r7", 7, 7},
        {"-17", -17, -17},
        {"+0009", 9, 9},
        {"abc", 0, 0},
        {"", 0, 0},
        {"- 5", 0, 0},
        {"7814037168", 7814037168, 7814037168},
        {"9223372036854775807", kMax, kMax},
        {"9223372036854775808", kMax, std::nullopt},
        {"99999999999999999999999", kMax, std::nullopt},
        {"-9223372036854775808", kMin, kMin},
        {"-9223372036854775809", kMin, std::nullopt},
    };
    for (const DecimalCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(readSigned64(c.text), c.saturated);
        EXPECT_EQ(readSigned64Exact(c.text), c.exact);
    }
}

} // namespace
} // namespace quarry
