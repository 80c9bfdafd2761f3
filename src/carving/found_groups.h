#pragma once

#include "signatures/checklist.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quarry::carving {

// One row of the found-file group table; all values are texts.
struct FoundFileGroup {
    std::string FileTypes;
    std::string NoOfFile; // decimal count
    std::string FileName;
    std::string FilePath; // the item's name again, not a path
    std::string FileTypes_Hidden;
};

// The found-file groups of a video or raw-file scan. Counted on the scan's worker thread while
// the GUI thread draws them, so every operation locks.
class FoundFileGroups {
public:
    void clear();
    void createSignatureListTableRecord(const std::string& fileType, std::uint64_t count,
                                        const std::string& fileName, const std::string& filePath,
                                        const std::string& hiddenKey);
    // Counts an item named `name` (already trimmed) in the first group whose hidden key equals
    // the text after the name's last '.'; no group changes when none matches.
    void countItem(const std::string& name);
    // NoOfFile of the first group whose hidden key equals `hiddenKey`.
    std::optional<std::uint64_t> countFor(const std::string& hiddenKey) const;
    std::vector<FoundFileGroup> snapshot() const;
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<FoundFileGroup> groups_;
};

// signatures::confirmCheckList, and `groups` rebuilt with one group per ticked row.
signatures::ConfirmedLists confirmCheckList(const signatures::CheckList& rows,
                                            const signatures::SignatureList& general,
                                            const signatures::SignatureList& thorough, bool thoroughOn,
                                            FoundFileGroups& groups);

} // namespace quarry::carving
