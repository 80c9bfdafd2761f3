#include "cli/type_selection.h"

#include <algorithm>
#include <cctype>

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

std::string familyOf(const signatures::CheckList& rows, const std::string& type) {
    const auto isWordAt = [&](const std::string& text, std::size_t at) {
        const auto isWordChar = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0;
        };
        const std::size_t end = at + type.size();
        return (at == 0 || !isWordChar(text[at - 1])) && (end == text.size() || !isWordChar(text[end]));
    };
    for (const auto& row : rows) {
        const auto savedAs = row.Description.find("saved as ");
        if (savedAs == std::string::npos)
            continue;
        for (auto at = row.Description.find(type, savedAs); at != std::string::npos;
             at = row.Description.find(type, at + 1))
            if (isWordAt(row.Description, at))
                return row.Extension;
    }
    return {};
}

} // namespace quarry::cli
