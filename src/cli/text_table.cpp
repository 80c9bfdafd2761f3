#include "cli/text_table.h"

#include <algorithm>
#include <cstddef>

namespace quarry::cli {
namespace {

std::size_t displayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void appendRow(std::string& out, const std::vector<std::string>& cells,
               const std::vector<std::size_t>& widths) {
    std::string line;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const std::string cell = i < cells.size() ? cells[i] : std::string();
        line += cell;
        if (i + 1 < widths.size())
            line.append(widths[i] - displayWidth(cell) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out += line;
    out += '\n';
}

} // namespace

std::string formatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& header : headers)
        widths.push_back(displayWidth(header));
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));

    std::string out;
    appendRow(out, headers, widths);
    std::vector<std::string> rules;
    for (const auto width : widths)
        rules.emplace_back(width, '-');
    appendRow(out, rules, widths);
    for (const auto& row : rows)
        appendRow(out, row, widths);
    return out;
}

} // namespace quarry::cli
