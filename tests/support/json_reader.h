#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quarry::test {

// A strict reader for the JSON the carver prints: it throws on anything that is not valid
// JSON, and keeps the order of an object's keys.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    std::string text; // a string's value, or a number's digits
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    const JsonValue& operator[](const std::string& key) const;
    std::vector<std::string> keys() const;
    std::uint64_t number() const { return std::stoull(text); }
};

JsonValue parseJson(const std::string& text);

// Every line of `text` parsed as one JSON value.
std::vector<JsonValue> parseJsonLines(const std::string& text);

} // namespace quarry::test
