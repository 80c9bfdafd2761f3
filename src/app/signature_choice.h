#pragma once

#include "app/wizard_flow.h"
#include "signatures/checklist.h"

#include <string>

namespace quarry::carving {
class FoundFileGroups;
}

namespace quarry::app {

// The signature lists of every mode, and the records chosen on the file-type screen for the
// next video or raw-file scan.
class SignatureChoice {
public:
    // Loads the lists from the resource folder; the chosen records go.
    void load(const std::string& resourceFolder);
    const signatures::SignatureLists& lists() const { return lists_; }

    // Every type of the mode, ticked.
    signatures::CheckList checkList(Mode mode, bool thoroughOn) const;
    // The ticked rows' records become the chosen ones and `groups` their found-file groups;
    // true when nothing would be scanned although a type is ticked.
    bool choose(const signatures::CheckList& rows, Mode mode, bool thoroughOn,
                carving::FoundFileGroups& groups);

    const signatures::SignatureList& chosenGeneral() const { return chosen_.CheckListHeader_Array; }
    const signatures::SignatureList& chosenThorough() const { return chosen_.CheckListHeader_Adv_Array; }

private:
    const signatures::SignatureList& general(Mode mode) const;
    const signatures::SignatureList& thorough(Mode mode) const;

    signatures::SignatureLists lists_;
    signatures::ConfirmedLists chosen_;
};

} // namespace quarry::app
