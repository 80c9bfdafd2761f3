#include "cli/json_line.h"

#include <cstddef>

namespace quarry::cli {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    std::uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        std::size_t used = 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0x0F];
            } else if (const auto length = utf8SequenceLength(text); length > 0) {
                out.append(text.substr(0, length));
                used = length;
            } else {
                out += "\\ufffd";
            }
        }
        text.remove_prefix(used);
    }
    out += '"';
}

void JsonObject::addKey(std::string_view key) {
    if (!body_.empty())
        body_ += ',';
    appendJsonString(body_, key);
    body_ += ':';
}

JsonObject& JsonObject::add(std::string_view key, std::string_view value) {
    addKey(key);
    appendJsonString(body_, value);
    return *this;
}

JsonObject& JsonObject::add(std::string_view key, std::uint64_t value) {
    addKey(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::addRaw(std::string_view key, std::string_view json) {
    addKey(key);
    body_ += json;
    return *this;
}

} // namespace quarry::cli
