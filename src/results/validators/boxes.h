#pragma once

#include "results/validators/byte_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace quarry::results::validators {

using BoxType = std::array<std::uint8_t, 4>;

// One box of the ISO base media layout that JPEG 2000 and JPEG XL files share: a 32-bit size (1: a
// 64-bit size follows; 0: the box runs to the end of the file, here the carved item) and a type.
struct Box {
    BoxType type{};
    std::uint64_t payload = 0; // offset of the box's contents
    std::uint64_t end = 0;
};

// The box at `pos`, or nullopt when its size does not fit the header or the source.
std::optional<Box> readBox(ByteReader& in, std::uint64_t pos, std::uint64_t itemBytes);

// Offset after the boxes from `pos` on whose types are among `known`: the file's end, as what follows
// is another file's data. Calls `visit` for each box walked.
template <typename Visit>
std::uint64_t walkKnownBoxes(ByteReader& in, std::uint64_t pos, std::uint64_t itemBytes,
                             std::span<const BoxType> known, Visit visit) {
    constexpr int kMaxBoxes = 1 << 16;
    for (int count = 0; count < kMaxBoxes; ++count) {
        const auto box = readBox(in, pos, itemBytes);
        if (!box || std::find(known.begin(), known.end(), box->type) == known.end() || !visit(*box)) {
            break;
        }
        pos = box->end;
    }
    return pos;
}

} // namespace quarry::results::validators
