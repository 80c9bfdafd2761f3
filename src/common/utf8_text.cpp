#include "common/utf8_text.h"

#include <cstdint>

namespace quarry::utf8 {

namespace {

struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0; // 0: malformed
};

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

Decoded decodeAt(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80U) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        cp = lead & 0x1FU;
        minimum = 0x80;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        cp = lead & 0x0FU;
        minimum = 0x800;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        cp = lead & 0x07U;
        minimum = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() - at < length) {
        return {};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if (!isContinuation(next)) {
            return {};
        }
        cp = (cp << 6U) | (next & 0x3FU);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {};
    }
    return {cp, length};
}

bool isWhitespaceOrNewline(char32_t cp) {
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F ||
           cp == 0x3000;
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (cp >> 6U)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0U | (cp >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0U | (cp >> 18U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    }
}

} // namespace

bool isValid(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const Decoded d = decodeAt(bytes, at);
        if (d.length == 0) {
            return false;
        }
        at += d.length;
    }
    return true;
}

std::string_view trim(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const Decoded d = decodeAt(text, begin);
        if (d.length == 0 || !isWhitespaceOrNewline(d.codePoint)) {
            break;
        }
        begin += d.length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && isContinuation(static_cast<unsigned char>(text[start]))) {
            --start;
        }
        const Decoded d = decodeAt(text, start);
        if (d.length != end - start || !isWhitespaceOrNewline(d.codePoint)) {
            break;
        }
        end = start;
    }
    return text.substr(begin, end - begin);
}

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t taken = 0; taken < count && at < text.size(); ++taken) {
        const Decoded d = decodeAt(text, at);
        at += d.length == 0 ? 1 : d.length;
    }
    return text.substr(0, at);
}

std::string toUpper(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded d = decodeAt(text, at);
        if (d.length == 0) {
            out.push_back(text[at]);
            ++at;
            continue;
        }
        const char32_t cp = d.codePoint;
        if (cp >= U'a' && cp <= U'z') {
            append(out, cp - 0x20);
        } else if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) {
            append(out, cp - 0x20);
        } else if (cp == 0xFF) {
            append(out, 0x178); // ÿ -> Ÿ
        } else if (cp == 0xB5) {
            append(out, 0x39C); // micro sign -> Greek capital mu
        } else if (cp == 0xDF) {
            out += "SS";
        } else {
            append(out, cp);
        }
        at += d.length;
    }
    return out;
}

std::string asciiPerCharacter(std::string_view text) {
    std::string ascii;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80U) {
            ascii.push_back(c);
        } else if ((byte & 0xC0U) != 0x80U) {
            ascii.push_back('?');
        }
    }
    return ascii;
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace quarry::utf8
