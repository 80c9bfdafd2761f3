#include "signatures/checklist.h"

#include <algorithm>

namespace quarry::signatures {

namespace {

constexpr std::size_t kExtensionField = 0;
constexpr std::size_t kCategoryField = 4;
constexpr std::size_t kDescriptionField = 5;

std::size_t wholeRecordsLength(const SignatureList& list) {
    return list.size() - list.size() % kRecordFields;
}

void appendMissingTypes(CheckList& rows, const SignatureList& list, const char* thoro) {
    const std::size_t length = wholeRecordsLength(list);
    for (std::size_t i = 0; i < length; i += kRecordFields) {
        const std::string& extension = list[i + kExtensionField];
        const bool known = std::any_of(rows.begin(), rows.end(),
                                       [&](const CheckListRow& row) { return row.Extension == extension; });
        if (!known) {
            rows.push_back({1, extension, list[i + kDescriptionField], thoro, list[i + kCategoryField]});
        }
    }
}

void removeRecordsOf(SignatureList& list, const std::string& extension) {
    std::size_t i = 0;
    while (i + kRecordFields <= list.size()) {
        if (list[i + kExtensionField] == extension) {
            const auto first = list.begin() + static_cast<std::ptrdiff_t>(i);
            list.erase(first, first + static_cast<std::ptrdiff_t>(kRecordFields));
        } else {
            i += kRecordFields;
        }
    }
}

SignatureList wholeRecordsOf(const SignatureList& list) {
    return SignatureList(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(wholeRecordsLength(list)));
}

} // namespace

CheckList buildCheckList(const SignatureList& general, const SignatureList& thorough, bool thoroughOn) {
    CheckList rows;
    appendMissingTypes(rows, general, "");
    if (thoroughOn) {
        appendMissingTypes(rows, thorough, "YES");
    }
    return rows;
}

void selectAll(CheckList& rows, int state) {
    const int newState = state == 1 ? 1 : 0;
    for (CheckListRow& row : rows) {
        row.State = newState;
    }
}

bool nothingToScan(const CheckList& rows, const ConfirmedLists& lists) {
    return Check_For_One_Extension_Selection(rows) && lists.CheckListHeader_Array.empty() &&
           lists.CheckListHeader_Adv_Array.empty();
}

bool Check_For_One_Extension_Selection(const CheckList& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const CheckListRow& row) { return row.State == 1; });
}

bool allRowsTicked(const CheckList& rows) {
    return std::none_of(rows.begin(), rows.end(), [](const CheckListRow& row) { return row.State == 0; });
}

ConfirmedLists confirmCheckList(const CheckList& rows, const SignatureList& general,
                                const SignatureList& thorough, bool thoroughOn) {
    ConfirmedLists lists;
    lists.CheckListHeader_Array = wholeRecordsOf(general);
    if (thoroughOn) {
        lists.CheckListHeader_Adv_Array = wholeRecordsOf(thorough);
    }
    for (const CheckListRow& row : rows) {
        if (row.State == 0) {
            removeRecordsOf(lists.CheckListHeader_Array, row.Extension);
            removeRecordsOf(lists.CheckListHeader_Adv_Array, row.Extension);
        }
    }
    return lists;
}

} // namespace quarry::signatures
