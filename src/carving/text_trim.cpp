#include "carving/text_trim.h"

#include <cstdint>

namespace quarry::carving {

namespace {

bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The code point encoded by `bytes`, or a value that is no white space when malformed.
char32_t decode(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        return lead;
    }
    char32_t value = 0;
    std::size_t length = 0;
    if ((lead & 0xE0) == 0xC0) {
        value = lead & 0x1F;
        length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        value = lead & 0x0F;
        length = 3;
    } else if ((lead & 0xF8) == 0xF0) {
        value = lead & 0x07;
        length = 4;
    }
    if (length == 0 || bytes.size() != length) {
        return 0xFFFD;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!isContinuation(byte)) {
            return 0xFFFD;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    return value;
}

// Length of the code point that starts `text`.
std::size_t leadingLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && length < 4 && isContinuation(static_cast<unsigned char>(text[length]))) {
        ++length;
    }
    return length;
}

// Length of the code point that ends `text`.
std::size_t trailingLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && length < 4 &&
           isContinuation(static_cast<unsigned char>(text[text.size() - length]))) {
        ++length;
    }
    return length;
}

} // namespace

std::string_view trimWhitespace(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = leadingLength(text);
        if (!isWhitespace(decode(text.substr(0, length)))) {
            break;
        }
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        const std::size_t length = trailingLength(text);
        if (!isWhitespace(decode(text.substr(text.size() - length)))) {
            break;
        }
        text.remove_suffix(length);
    }
    return text;
}

} // namespace quarry::carving
