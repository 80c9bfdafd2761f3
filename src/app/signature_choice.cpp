#include "app/signature_choice.h"

#include "carving/found_groups.h"

namespace quarry::app {

void SignatureChoice::load(const std::string& resourceFolder) {
    chosen_ = {};
    lists_ = signatures::loadSignatureLists(resourceFolder);
}

const signatures::SignatureList& SignatureChoice::general(Mode mode) const {
    return mode == Mode::Video ? lists_.Video_Array : lists_.RawFile_Array;
}

const signatures::SignatureList& SignatureChoice::thorough(Mode mode) const {
    return mode == Mode::Video ? lists_.Adv_Video_Array : lists_.Adv_RawFile_Array;
}

signatures::CheckList SignatureChoice::checkList(Mode mode, bool thoroughOn) const {
    return signatures::buildCheckList(general(mode), thorough(mode), thoroughOn);
}

bool SignatureChoice::choose(const signatures::CheckList& rows, Mode mode, bool thoroughOn,
                             carving::FoundFileGroups& groups) {
    chosen_ = carving::confirmCheckList(rows, general(mode), thorough(mode), thoroughOn, groups);
    return signatures::nothingToScan(rows, chosen_);
}

} // namespace quarry::app
