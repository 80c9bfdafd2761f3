#include "cli/type_selection.h"

#include <algorithm>

namespace quarry::cli {
namespace {

bool contains(const std::vector<std::string>& types, const std::string& type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool listHasType(const signatures::SignatureList& list, const std::string& type) {
    for (std::size_t i = 0; i + signatures::kRecordFields <= list.size(); i += signatures::kRecordFields)
        if (list[i] == type)
            return true;
    return false;
}

} // namespace

signatures::SignatureList keepTypes(const signatures::SignatureList& list,
                                    const std::vector<std::string>& types) {
    signatures::SignatureList kept;
    for (std::size_t i = 0; i + signatures::kRecordFields <= list.size(); i += signatures::kRecordFields)
        if (contains(types, list[i]))
            kept.insert(kept.end(), list.begin() + static_cast<std::ptrdiff_t>(i),
                        list.begin() + static_cast<std::ptrdiff_t>(i + signatures::kRecordFields));
    return kept;
}

std::string unknownPhotoType(const signatures::SignatureList& general,
                             const signatures::SignatureList& thorough,
                             const std::vector<std::string>& types) {
    for (const auto& type : types)
        if (!listHasType(general, type) && !listHasType(thorough, type))
            return type;
    return {};
}

std::string tickOnly(signatures::CheckList& rows, const std::vector<std::string>& types) {
    for (const auto& type : types)
        if (std::none_of(rows.begin(), rows.end(), [&](const auto& row) { return row.Extension == type; }))
            return type;
    for (auto& row : rows)
        row.State = contains(types, row.Extension) ? 1 : 0;
    return {};
}

} // namespace quarry::cli
