#include "results/validators/boxes.h"

namespace quarry::results::validators {

std::optional<Box> readBox(ByteReader& in, std::uint64_t pos, std::uint64_t itemBytes) {
    const auto size = in.u32be(pos);
    Box box;
    if (!size || !in.read(pos + 4, box.type)) {
        return std::nullopt;
    }
    box.payload = pos + 8;
    if (*size == 1) {
        const auto large = in.u64be(pos + 8);
        if (!large || *large < 16 || *large > in.size() - pos) {
            return std::nullopt;
        }
        box.payload = pos + 16;
        box.end = pos + *large;
    } else if (*size == 0) {
        if (itemBytes <= box.payload || itemBytes > in.size()) {
            return std::nullopt;
        }
        box.end = itemBytes;
    } else {
        if (*size < 8 || *size > in.size() - pos) {
            return std::nullopt;
        }
        box.end = pos + *size;
    }
    return box;
}

} // namespace quarry::results::validators
