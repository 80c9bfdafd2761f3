#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarry::utf8 {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points
// above U+10FFFF).
bool isValid(std::string_view bytes);

// `text` without white-space and line-break characters at both ends: TAB to CR, space,
// NEL, and every Unicode space, line and paragraph separator. `text` must be valid UTF-8.
std::string_view trim(std::string_view text);

// The first `count` characters (code points) of `text`, or all of them when there are fewer.
std::string_view firstCharacters(std::string_view text, std::size_t count);

// `text` with one byte per character, for reading hex digits position by position: a
// character outside ASCII becomes '?', a non-digit worth 0 like any other.
std::string asciiPerCharacter(std::string_view text);

// Appends code point `code` (at most U+10FFFF) to `out`, encoded as UTF-8.
void appendUtf8(std::string& out, std::uint32_t code);

// Upper case of ASCII and Latin-1 letters; other characters are kept.
std::string toUpper(std::string_view text);

} // namespace quarry::utf8
