#include "cli/media_listing.h"

#include "cli/json_line.h"
#include "cli/text_table.h"

#include <array>

namespace quarry::cli {

void printMediaTable(std::ostream& out, const std::vector<media::MyDataObject>& media, bool json) {
    static constexpr std::array<const char*, 6> kColumns{"Collumn1", "Collumn2", "Collumn3",
                                                         "Collumn4", "Collumn5", "Collumn6"};
    if (json) {
        for (const auto& record : media) {
            JsonObject row;
            for (const char* column : kColumns)
                row.add(column, media::cellText(record, column));
            out << row.str() << '\n';
        }
        out << std::flush;
        return;
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto& record : media) {
        auto& row = rows.emplace_back();
        for (const char* column : kColumns)
            row.push_back(media::cellText(record, column));
    }
    out << formatTable({"Device", "Volume", "File system", "Size", "Parent disk", "Sectors"}, rows)
        << std::flush;
}

} // namespace quarry::cli
