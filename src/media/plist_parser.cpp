#include "media/plist_parser.h"

#include "common/utf8_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quarry::media {
namespace {

// Nesting beyond this is not a property list anyone writes, and would only exhaust the stack.
constexpr int kMaxDepth = 64;

struct Tag {
    std::string_view name;
    bool closing = false;
    bool empty = false; // <name/>
};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Appends the character of an entity body such as "amp" or "#x41"; false if it names none.
bool appendEntity(std::string& out, std::string_view entity) {
    if (entity == "lt")
        out += '<';
    else if (entity == "gt")
        out += '>';
    else if (entity == "amp")
        out += '&';
    else if (entity == "quot")
        out += '"';
    else if (entity == "apos")
        out += '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
        const bool hex = entity[1] == 'x' || entity[1] == 'X';
        const auto digits = entity.substr(hex ? 2 : 1);
        std::uint32_t code = 0;
        const auto result =
            std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size())
            return false;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        utf8::appendUtf8(out, code);
    } else {
        return false;
    }
    return true;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    std::string bytes;
    std::uint32_t buffer = 0;
    int bits = 0;
    bool padding = false;
    for (const char c : text) {
        if (isSpace(c))
            continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        int value = -1;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        if (value < 0 || padding)
            return std::nullopt;
        buffer = (buffer << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

bool isInteger(std::string_view literal) {
    if (!literal.empty() && (literal[0] == '-' || literal[0] == '+'))
        literal.remove_prefix(1);
    if (literal.empty())
        return false;
    for (const char c : literal) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool isReal(std::string_view literal) {
    if (!literal.empty() && literal[0] == '+')
        literal.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(literal.data(), literal.data() + literal.size(), value);
    return !literal.empty() && result.ec == std::errc() && result.ptr == literal.data() + literal.size();
}

// A recursive-descent reader of the XML subset that property lists use. Every failure
// makes the whole parse fail.
class Parser {
public:
    explicit Parser(std::string_view xml) : in_(xml) {}

    std::optional<PlistValue> document() {
        if (!skipMisc())
            return std::nullopt;
        auto tag = readTag();
        if (!tag || tag->closing)
            return std::nullopt;
        std::optional<PlistValue> root;
        if (tag->name == "plist") {
            if (tag->empty || !skipMisc())
                return std::nullopt;
            auto inner = readTag();
            if (!inner || inner->closing)
                return std::nullopt;
            root = value(*inner, 0);
            if (!root || !skipMisc() || !closes("plist"))
                return std::nullopt;
        } else {
            root = value(*tag, 0);
            if (!root)
                return std::nullopt;
        }
        if (!skipMisc() || pos_ != in_.size())
            return std::nullopt;
        return root;
    }

private:
    bool startsWith(std::string_view text) const { return in_.substr(pos_).starts_with(text); }

    // Skips past the next `terminator`; false when it never comes.
    bool skipPast(std::string_view terminator) {
        const auto end = in_.find(terminator, pos_);
        if (end == std::string_view::npos)
            return false;
        pos_ = end + terminator.size();
        return true;
    }

    // Blanks, comments, processing instructions and the document type.
    bool skipMisc() {
        for (;;) {
            while (pos_ < in_.size() && isSpace(in_[pos_]))
                ++pos_;
            if (startsWith("<!--")) {
                if (!skipPast("-->"))
                    return false;
            } else if (startsWith("<?")) {
                if (!skipPast("?>"))
                    return false;
            } else if (startsWith("<!DOCTYPE")) {
                if (!skipPast(">"))
                    return false;
            } else {
                return true;
            }
        }
    }

    std::optional<Tag> readTag() {
        if (pos_ >= in_.size() || in_[pos_] != '<')
            return std::nullopt;
        const auto end = in_.find('>', pos_);
        if (end == std::string_view::npos)
            return std::nullopt;
        auto body = in_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        Tag tag;
        if (body.starts_with('/')) {
            tag.closing = true;
            body.remove_prefix(1);
        } else if (body.ends_with('/')) {
            tag.empty = true;
            body.remove_suffix(1);
        }
        std::size_t nameEnd = 0;
        while (nameEnd < body.size() && !isSpace(body[nameEnd]))
            ++nameEnd;
        tag.name = body.substr(0, nameEnd);
        // Only the opening tag of plist carries attributes.
        if (tag.name.empty() || (nameEnd < body.size() && (tag.closing || tag.name != "plist")))
            return std::nullopt;
        return tag;
    }

    bool closes(std::string_view name) {
        const auto tag = readTag();
        return tag && tag->closing && tag->name == name;
    }

    // Character data up to the closing tag of `name`, with entities and CDATA resolved.
    std::optional<std::string> text(std::string_view name) {
        std::string out;
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '&') {
                const auto end = in_.find(';', pos_);
                if (end == std::string_view::npos || !appendEntity(out, in_.substr(pos_ + 1, end - pos_ - 1)))
                    return std::nullopt;
                pos_ = end + 1;
            } else if (startsWith("<![CDATA[")) {
                const auto start = pos_ + 9;
                if (!skipPast("]]>"))
                    return std::nullopt;
                out += in_.substr(start, pos_ - 3 - start);
            } else if (startsWith("<!--")) {
                if (!skipPast("-->"))
                    return std::nullopt;
            } else if (c == '<') {
                if (!closes(name))
                    return std::nullopt;
                return out;
            } else {
                out += c;
                ++pos_;
            }
        }
        return std::nullopt;
    }

    std::optional<PlistValue> leaf(const Tag& tag, PlistValue::Type type) {
        PlistValue result;
        result.type = type;
        if (tag.empty)
            return result;
        auto content = text(tag.name);
        if (!content)
            return std::nullopt;
        result.text = std::move(*content);
        return result;
    }

    std::optional<PlistValue> value(const Tag& tag, int depth) {
        if (tag.closing || depth > kMaxDepth)
            return std::nullopt;
        using Type = PlistValue::Type;
        if (tag.name == "true" || tag.name == "false") {
            if (!tag.empty && !closes(tag.name))
                return std::nullopt;
            PlistValue result;
            result.type = Type::Boolean;
            result.boolean = tag.name == "true";
            return result;
        }
        if (tag.name == "string")
            return leaf(tag, Type::String);
        if (tag.name == "date") {
            auto result = leaf(tag, Type::Date);
            if (result)
                result->text = std::string(trim(result->text));
            return result;
        }
        if (tag.name == "integer" || tag.name == "real") {
            auto result = leaf(tag, tag.name == "integer" ? Type::Integer : Type::Real);
            if (!result)
                return std::nullopt;
            result->text = std::string(trim(result->text));
            const bool valid = result->type == Type::Integer ? isInteger(result->text) : isReal(result->text);
            return valid ? result : std::nullopt;
        }
        if (tag.name == "data") {
            auto result = leaf(tag, Type::Data);
            if (!result)
                return std::nullopt;
            auto bytes = decodeBase64(result->text);
            if (!bytes)
                return std::nullopt;
            result->text = std::move(*bytes);
            return result;
        }
        if (tag.name == "array")
            return array(tag, depth);
        if (tag.name == "dict")
            return dict(tag, depth);
        return std::nullopt;
    }

    std::optional<PlistValue> array(const Tag& tag, int depth) {
        PlistValue result;
        result.type = PlistValue::Type::Array;
        if (tag.empty)
            return result;
        for (;;) {
            if (!skipMisc())
                return std::nullopt;
            const auto next = readTag();
            if (!next)
                return std::nullopt;
            if (next->closing)
                return next->name == "array" ? std::optional(std::move(result)) : std::nullopt;
            auto element = value(*next, depth + 1);
            if (!element)
                return std::nullopt;
            result.children.push_back(std::move(*element));
        }
    }

    std::optional<PlistValue> dict(const Tag& tag, int depth) {
        PlistValue result;
        result.type = PlistValue::Type::Dict;
        if (tag.empty)
            return result;
        for (;;) {
            if (!skipMisc())
                return std::nullopt;
            const auto keyTag = readTag();
            if (!keyTag)
                return std::nullopt;
            if (keyTag->closing)
                return keyTag->name == "dict" ? std::optional(std::move(result)) : std::nullopt;
            if (keyTag->name != "key")
                return std::nullopt;
            std::string key;
            if (!keyTag->empty) {
                auto content = text("key");
                if (!content)
                    return std::nullopt;
                key = std::move(*content);
            }
            if (!skipMisc())
                return std::nullopt;
            const auto valueTag = readTag();
            if (!valueTag)
                return std::nullopt;
            auto entry = value(*valueTag, depth + 1);
            if (!entry)
                return std::nullopt;
            result.keys.push_back(std::move(key));
            result.children.push_back(std::move(*entry));
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

std::optional<std::string> stringValue(const PlistValue& dict, std::string_view key) {
    const auto* found = dict.find(key);
    if (!found || found->type != PlistValue::Type::String)
        return std::nullopt;
    return found->text;
}

std::optional<std::uint64_t> byteCount(const PlistValue& dict, std::string_view key) {
    const auto* found = dict.find(key);
    if (!found)
        return std::nullopt;
    std::string_view literal = found->text;
    if (found->type == PlistValue::Type::Integer) {
        if (literal.starts_with('+'))
            literal.remove_prefix(1);
        std::uint64_t value = 0;
        const auto result = std::from_chars(literal.data(), literal.data() + literal.size(), value);
        if (result.ec != std::errc() || result.ptr != literal.data() + literal.size())
            return std::nullopt;
        return value;
    }
    if (found->type == PlistValue::Type::Real) {
        if (literal.starts_with('+'))
            literal.remove_prefix(1);
        double value = 0;
        std::from_chars(literal.data(), literal.data() + literal.size(), value);
        // 2^64 is exactly representable; anything at or above it has no unsigned count.
        if (!(value >= 0) || value >= 18446744073709551616.0)
            return std::nullopt;
        return static_cast<std::uint64_t>(std::trunc(value));
    }
    return std::nullopt;
}

} // namespace

const PlistValue* PlistValue::find(std::string_view key) const {
    if (type != Type::Dict)
        return nullptr;
    for (std::size_t i = keys.size(); i-- > 0;) {
        if (keys[i] == key)
            return &children[i];
    }
    return nullptr;
}

std::optional<PlistValue> parsePropertyList(std::string_view xml) {
    return Parser(xml).document();
}

VolumeDescription describeFromDiskutilPlist(std::string_view xml) {
    VolumeDescription volume;
    const auto root = parsePropertyList(xml);
    if (!root || root->type != PlistValue::Type::Dict)
        return volume;
    volume.BusProtocol = stringValue(*root, "BusProtocol");
    volume.OpticalDeviceType = stringValue(*root, "OpticalDeviceType");
    volume.DeviceIdentifier = stringValue(*root, "DeviceIdentifier");
    volume.VolumeName = stringValue(*root, "VolumeName");
    volume.FilesystemUserVisibleName = stringValue(*root, "FilesystemUserVisibleName");
    volume.IOKitSize = byteCount(*root, "IOKitSize");
    volume.ParentWholeDisk = stringValue(*root, "ParentWholeDisk");
    return volume;
}

} // namespace quarry::media
