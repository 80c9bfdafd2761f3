#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarry::cli {

// Appends `text` as a JSON string literal. Valid UTF-8 passes through; quotes, backslashes and
// control characters are escaped, and each byte that is not part of valid UTF-8 becomes
// U+FFFD, so the line is valid JSON whatever the bytes.
void appendJsonString(std::string& out, std::string_view text);

// One JSON object, keys in the order they are added.
class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view value);
    JsonObject& add(std::string_view key, const char* value) { return add(key, std::string_view(value)); }
    JsonObject& add(std::string_view key, std::uint64_t value);
    // `json` is inserted as it is (an array or object already encoded).
    JsonObject& addRaw(std::string_view key, std::string_view json);

    std::string str() const { return "{" + body_ + "}"; }

private:
    void addKey(std::string_view key);
    std::string body_;
};

} // namespace quarry::cli
