#include "json_reader.h"

#include "common/utf8_text.h"

#include <cstring>
#include <sstream>

namespace quarry::test {
namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    JsonValue document() {
        if (!validUtf8())
            fail("not UTF-8");
        auto value = parseValue();
        skipSpace();
        if (pos_ != text_.size())
            fail("trailing characters");
        return value;
    }

private:
    bool validUtf8() const {
        for (std::size_t i = 0; i < text_.size();) {
            const auto lead = static_cast<unsigned char>(text_[i]);
            const std::size_t length = lead < 0x80                    ? 1
                                       : lead >= 0xC2 && lead <= 0xDF ? 2
                                       : lead >= 0xE0 && lead <= 0xEF ? 3
                                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                      : 0;
            if (length == 0 || i + length > text_.size())
                return false;
            for (std::size_t k = 1; k < length; ++k)
                if ((static_cast<unsigned char>(text_[i + k]) & 0xC0) != 0x80)
                    return false;
            const auto second = static_cast<unsigned char>(text_[i + 1 < text_.size() ? i + 1 : i]);
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
                (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
                return false;
            i += length;
        }
        return true;
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("invalid JSON at " + std::to_string(pos_) + ": " + what + " in " + text_);
    }
    void skipSpace() {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]))
            ++pos_;
    }
    char peek() {
        skipSpace();
        if (pos_ >= text_.size())
            fail("unexpected end");
        return text_[pos_];
    }
    void expect(char c) {
        if (peek() != c)
            fail(std::string("expected ") + c);
        ++pos_;
    }
    bool literal(const char* word) {
        if (text_.compare(pos_, std::strlen(word), word) != 0)
            return false;
        pos_ += std::strlen(word);
        return true;
    }

    JsonValue parseValue() {
        JsonValue value;
        const char c = peek();
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++pos_;
            if (peek() == '}') {
                ++pos_;
                return value;
            }
            do {
                auto key = parseString();
                expect(':');
                value.members.emplace_back(std::move(key), parseValue());
            } while (peek() == ',' && ++pos_);
            expect('}');
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++pos_;
            if (peek() == ']') {
                ++pos_;
                return value;
            }
            do {
                value.items.push_back(parseValue());
            } while (peek() == ',' && ++pos_);
            expect(']');
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = parseString();
        } else if (literal("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
        } else if (literal("false")) {
            value.kind = JsonValue::Kind::Bool;
        } else if (literal("null")) {
            value.kind = JsonValue::Kind::Null;
        } else {
            value.kind = JsonValue::Kind::Number;
            const auto start = pos_;
            while (pos_ < text_.size() && std::strchr("-+0123456789.eE", text_[pos_]))
                ++pos_;
            if (start == pos_)
                fail("unexpected character");
            value.text = text_.substr(start, pos_ - start);
        }
        return value;
    }

    unsigned hex4() {
        if (pos_ + 4 > text_.size())
            fail("short \\u escape");
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            code <<= 4;
            if (h >= '0' && h <= '9')
                code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
                code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                code |= static_cast<unsigned>(h - 'A' + 10);
            else
                fail("bad hex digit");
        }
        return code;
    }

    std::string parseString() {
        expect('"');
        std::string out;
        while (true) {
            if (pos_ >= text_.size())
                fail("unterminated string");
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"')
                return out;
            if (c < 0x20)
                fail("raw control character in string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = text_[pos_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code = hex4();
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (!literal("\\u"))
                        fail("lone surrogate");
                    const unsigned low = hex4();
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8::appendUtf8(out, code);
                break;
            }
            default:
                fail("bad escape");
            }
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

} // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    for (const auto& [name, value] : members)
        if (name == key)
            return value;
    throw std::out_of_range("no key " + key);
}

std::vector<std::string> JsonValue::keys() const {
    std::vector<std::string> names;
    for (const auto& member : members)
        names.push_back(member.first);
    return names;
}

JsonValue parseJson(const std::string& text) {
    return Reader(text).document();
}

std::vector<JsonValue> parseJsonLines(const std::string& text) {
    std::vector<JsonValue> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        values.push_back(parseJson(line));
    return values;
}

} // namespace quarry::test
