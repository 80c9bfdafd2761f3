#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kRiff = {'R', 'I', 'F', 'F'};
constexpr std::array<std::uint8_t, 4> kRf64 = {'R', 'F', '6', '4'};
constexpr std::array<std::uint8_t, 4> kBw64 = {'B', 'W', '6', '4'};
constexpr std::array<std::uint8_t, 4> kDataSize64 = {'d', 's', '6', '4'};
constexpr std::array<std::uint8_t, 4> kAvi = {'A', 'V', 'I', ' '};
constexpr std::array<std::uint8_t, 4> kAviExtension = {'A', 'V', 'I', 'X'};
constexpr std::uint32_t kSizeInDataSize64 = 0xFFFFFFFF;

bool isFourCc(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 4> code{};
    if (!in.read(pos, code)) {
        return false;
    }
    for (const std::uint8_t c : code) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// End of the RIFF (or 64-bit RF64/BW64) chunk at `pos`, or nullopt.
std::optional<std::uint64_t> chunkEnd(ByteReader& in, std::uint64_t pos) {
    const auto size = in.u32le(pos + 4);
    if (!size || *size < 4 || !isFourCc(in, pos + 8)) {
        return std::nullopt;
    }
    if (in.matches(pos, kRiff)) {
        return pos + 8 + *size;
    }
    if ((in.matches(pos, kRf64) || in.matches(pos, kBw64)) && *size == kSizeInDataSize64 &&
        in.matches(pos + 12, kDataSize64)) {
        const auto size64 = in.u64le(pos + 20);
        if (size64 && *size64 >= 4 && *size64 <= in.size()) {
            return pos + 8 + *size64;
        }
    }
    return std::nullopt;
}

struct FormType {
    std::array<std::uint8_t, 4> form;
    const char* type;
};

constexpr FormType kFormTypes[] = {
    {{'W', 'A', 'V', 'E'}, "WAV"}, {{'A', 'V', 'I', ' '}, "AVI"}, {{'W', 'E', 'B', 'P'}, "WEBP"},
    {{'A', 'C', 'O', 'N'}, "ANI"}, {{'R', 'M', 'I', 'D'}, "RMI"},
};

} // namespace

std::string riffType(ByteReader& in, std::uint64_t) {
    for (const auto& known : kFormTypes) {
        if (in.matches(8, known.form)) {
            return known.type;
        }
    }
    return {};
}

std::optional<std::uint64_t> riffEnd(ByteReader& in, std::uint64_t) {
    return chunkEnd(in, 0);
}

std::optional<std::uint64_t> aviEnd(ByteReader& in, std::uint64_t) {
    if (!in.matches(8, kAvi)) {
        return std::nullopt;
    }
    auto end = chunkEnd(in, 0);
    // Recordings past 1 GiB go on in "RIFF AVIX" chunks right after the first.
    while (end && in.matches(*end, kRiff) && in.matches(*end + 8, kAviExtension)) {
        const auto next = chunkEnd(in, *end);
        if (!next) {
            break;
        }
        end = next;
    }
    return end;
}

} // namespace quarry::results::validators
