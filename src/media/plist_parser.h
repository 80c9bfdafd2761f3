#pragma once

#include "media/volume_description.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::media {

// One value of an XML property list.
struct PlistValue {
    enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dict };

    Type type = Type::String;
    // String and Date: the text; Integer and Real: the literal without surrounding blanks;
    // Data: the decoded bytes.
    std::string text;
    bool boolean = false;
    std::vector<std::string> keys;    // Dict: the keys, parallel to children
    std::vector<PlistValue> children; // Array: the elements; Dict: the values

    // The value of a dictionary key (the last one when a key repeats), or null.
    const PlistValue* find(std::string_view key) const;
};

// The root value of an XML property list; nothing for text that is not a well-formed one.
std::optional<PlistValue> parsePropertyList(std::string_view xml);

// The description of a volume from "diskutil info -plist" output. Output that is not a
// dictionary describes nothing; a key whose value has the wrong type counts as absent.
VolumeDescription describeFromDiskutilPlist(std::string_view xml);

} // namespace quarry::media
