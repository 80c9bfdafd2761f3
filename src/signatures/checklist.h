#pragma once

#include "signatures/definition_parser.h"

#include <string>
#include <vector>

namespace quarry::signatures {

// One row of the file-type check list.
struct CheckListRow {
    int State = 1;           // non-zero: ticked
    std::string Extension;   // extension field of a signature record
    std::string Description; // description of the first record met with that extension
    std::string Thoro;       // "" for a type of the general list, "YES" for a thorough-only type
    std::string Category;    // category field of that record, for grouping the list
};

using CheckList = std::vector<CheckListRow>;

struct ConfirmedLists {
    SignatureList CheckListHeader_Array;
    SignatureList CheckListHeader_Adv_Array;
};

// Rows for a mode's general and thorough lists: every type ticked, each extension once
// (exact comparison), general types first.
CheckList buildCheckList(const SignatureList& general, const SignatureList& thorough, bool thoroughOn);

// Select all (state 1) or none (state 0); order and texts stay.
void selectAll(CheckList& rows, int state);

// Confirmed lists that hold no record although a type is ticked: every ticked type is one
// only the thorough list holds, and the thorough pass is off.
bool nothingToScan(const CheckList& rows, const ConfirmedLists& lists);

// True as soon as a row's state is 1.
bool Check_For_One_Extension_Selection(const CheckList& rows);

// The select-all box state after a click in the State column: off when any row is 0.
bool allRowsTicked(const CheckList& rows);

// Confirmation of the check list: copies the records of the ticked types into the two
// per-scan lists (the thorough one only when thoroughOn). Returns the lists; the caller shows
// the alert when Check_For_One_Extension_Selection(rows) is false. The scan's found-file
// groups are rebuilt by carving::confirmCheckList.
ConfirmedLists confirmCheckList(const CheckList& rows, const SignatureList& general,
                                const SignatureList& thorough, bool thoroughOn);

} // namespace quarry::signatures
