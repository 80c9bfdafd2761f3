#pragma once

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace quarry::test {

// Keeps the order of an object's keys, so a test can check the order the carver prints them in.
using Json = nlohmann::ordered_json;

// Every line of `text` parsed as one JSON value; throws on anything that is not valid JSON
// (invalid UTF-8 included).
inline std::vector<Json> parseJsonLines(const std::string& text) {
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(Json::parse(line));
    return lines;
}

// A string member, or "" for null.
inline std::string textOf(const Json& value) {
    return value.is_null() ? std::string() : value.get<std::string>();
}

inline std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& member : object.items())
        keys.push_back(member.key());
    return keys;
}

} // namespace quarry::test
