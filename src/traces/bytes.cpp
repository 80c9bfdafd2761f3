#include "traces/bytes.h"

namespace quarry::traces {
namespace {

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

std::string utf8FromUtf16(const std::uint8_t* units, std::size_t count) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t u = le16(units + 2 * i);
        if (u == 0) {
            break;
        }
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count) {
            const std::uint32_t low = le16(units + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u < 0xE000 ? kReplacement : u);
    }
    return out;
}

std::optional<std::int64_t> dosTime(std::uint16_t date, std::uint16_t time) {
    const unsigned day = date & 0x1F;
    const unsigned month = date >> 5 & 0x0F;
    const unsigned year = 1980 + (date >> 9);
    const unsigned seconds = (time & 0x1F) * 2;
    const unsigned minutes = time >> 5 & 0x3F;
    const unsigned hours = time >> 11;
    if (day == 0 || month == 0 || month > 12 || hours > 23 || minutes > 59 || seconds > 59) {
        return std::nullopt;
    }
    return daysFromCivil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
}

std::optional<std::int64_t> ntfsTime(std::uint64_t ticks) {
    constexpr std::int64_t kEpochGap = 11644473600; // seconds from 1601 to 1970
    if (ticks == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(ticks / 10000000) - kEpochGap;
}

} // namespace quarry::traces
