#pragma once

#include <string>
#include <vector>

namespace quarry::cli {

// Left-aligned columns two blanks apart under a dashed header line; widths count UTF-8
// characters, not bytes.
std::string formatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows);

} // namespace quarry::cli
