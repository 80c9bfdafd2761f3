#pragma once

#include <string_view>

namespace quarry::carving {

// `text` (UTF-8) without the white-space and line-end characters at both ends: ASCII
// blanks and controls TAB to CR, NEL, and the Unicode space, line and paragraph separators.
std::string_view trimWhitespace(std::string_view text);

} // namespace quarry::carving
