#include "carving/found_groups.h"

#include "common/decimal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace quarry::carving {

namespace {

std::string formatCount(std::uint64_t count) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, count);
    return text;
}

// The stored count is re-read the way every count text is: as a signed 64-bit decimal.
std::uint64_t readCount(const std::string& text) {
    return static_cast<std::uint64_t>(readSigned64(text));
}

} // namespace

void FoundFileGroups::clear() {
    const std::lock_guard lock(mutex_);
    groups_.clear();
}

void FoundFileGroups::createSignatureListTableRecord(const std::string& fileType, std::uint64_t count,
                                                     const std::string& fileName, const std::string& filePath,
                                                     const std::string& hiddenKey) {
    const std::lock_guard lock(mutex_);
    groups_.push_back({fileType, formatCount(count), fileName, filePath, hiddenKey});
}

void FoundFileGroups::countItem(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const std::lock_guard lock(mutex_);
    const auto group = std::find_if(groups_.begin(), groups_.end(),
                                    [&](const FoundFileGroup& g) { return g.FileTypes_Hidden == extension; });
    if (group == groups_.end()) {
        return;
    }
    *group = {extension, formatCount(readCount(group->NoOfFile) + 1), name, name, extension};
}

std::optional<std::uint64_t> FoundFileGroups::countFor(const std::string& hiddenKey) const {
    const std::lock_guard lock(mutex_);
    for (const auto& group : groups_) {
        if (group.FileTypes_Hidden == hiddenKey) {
            return readCount(group.NoOfFile);
        }
    }
    return std::nullopt;
}

std::vector<FoundFileGroup> FoundFileGroups::snapshot() const {
    const std::lock_guard lock(mutex_);
    return groups_;
}

std::size_t FoundFileGroups::size() const {
    const std::lock_guard lock(mutex_);
    return groups_.size();
}

signatures::ConfirmedLists confirmCheckList(const signatures::CheckList& rows,
                                            const signatures::SignatureList& general,
                                            const signatures::SignatureList& thorough, bool thoroughOn,
                                            FoundFileGroups& groups) {
    groups.clear();
    for (const signatures::CheckListRow& row : rows) {
        if (row.State != 0) {
            groups.createSignatureListTableRecord(row.Extension, 0, "", "", row.Extension);
        }
    }
    return signatures::confirmCheckList(rows, general, thorough, thoroughOn);
}

} // namespace quarry::carving
