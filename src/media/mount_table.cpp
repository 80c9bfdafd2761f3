#include "media/mount_table.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace quarry::media {
namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const auto start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const auto end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

bool readNumber(std::string_view text, std::uint32_t& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// Fields: id, parent id, major:minor, root, mount point, options, optional fields...,
// "-", file-system type, source, super options.
std::optional<MountEntry> parseLine(std::string_view line) {
    const auto fields = splitFields(line);
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (separator + 2 >= fields.size())
        return std::nullopt;

    const auto device = fields[2];
    const auto colon = device.find(':');
    MountEntry entry;
    if (colon == std::string_view::npos || !readNumber(device.substr(0, colon), entry.major) ||
        !readNumber(device.substr(colon + 1), entry.minor))
        return std::nullopt;
    entry.root = unescapeMountField(fields[3]);
    entry.mountPoint = unescapeMountField(fields[4]);
    entry.fsType = unescapeMountField(fields[separator + 1]);
    entry.source = unescapeMountField(fields[separator + 2]);
    return entry;
}

} // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        if (auto entry = parseLine(line))
            entries.push_back(std::move(*entry));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return entries;
}

std::string unescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            text += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace quarry::media
