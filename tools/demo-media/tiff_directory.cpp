#include "tiff_directory.h"

#include <algorithm>

namespace quarry::demo {

namespace {

enum TiffType : std::uint16_t { Ascii = 2, Short = 3, Long = 4, Rational = 5, Undefined = 7 };

constexpr std::uint32_t entrySize = 12;

std::uint32_t paddedLength(const QByteArray& value) {
    const auto length = static_cast<std::uint32_t>(value.size());
    return length + (length & 1u);
}

} // namespace

void appendU16(QByteArray& out, std::uint16_t value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

void appendU32(QByteArray& out, std::uint32_t value) {
    appendU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    appendU16(out, static_cast<std::uint16_t>(value >> 16));
}

void TiffDirectory::add(std::uint16_t tag, std::uint16_t type, std::uint32_t count, QByteArray value) {
    entries_.push_back({tag, type, count, std::move(value)});
}

void TiffDirectory::addAscii(std::uint16_t tag, const QByteArray& text) {
    QByteArray value = text;
    value.append('\0');
    const auto count = static_cast<std::uint32_t>(value.size());
    add(tag, Ascii, count, value);
}

void TiffDirectory::addShort(std::uint16_t tag, std::uint16_t value) {
    QByteArray bytes;
    appendU16(bytes, value);
    add(tag, Short, 1, bytes);
}

void TiffDirectory::addLong(std::uint16_t tag, std::uint32_t value) {
    QByteArray bytes;
    appendU32(bytes, value);
    add(tag, Long, 1, bytes);
}

void TiffDirectory::addRational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
    QByteArray bytes;
    appendU32(bytes, numerator);
    appendU32(bytes, denominator);
    add(tag, Rational, 1, bytes);
}

void TiffDirectory::addUndefined(std::uint16_t tag, const QByteArray& bytes) {
    add(tag, Undefined, static_cast<std::uint32_t>(bytes.size()), bytes);
}

std::uint32_t TiffDirectory::size() const {
    std::uint32_t total = 2 + entrySize * static_cast<std::uint32_t>(entries_.size()) + 4;
    for (const auto& entry : entries_) {
        if (entry.value.size() > 4) {
            total += paddedLength(entry.value);
        }
    }
    return total;
}

QByteArray TiffDirectory::serialize(std::uint32_t offset, std::uint32_t nextDirectory) const {
    // Readers may binary-search the entries, so they must be sorted by tag.
    std::vector<const Entry*> sorted;
    for (const auto& entry : entries_) {
        sorted.push_back(&entry);
    }
    std::sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) { return a->tag < b->tag; });

    QByteArray table;
    QByteArray data;
    std::uint32_t dataOffset = offset + 2 + entrySize * static_cast<std::uint32_t>(sorted.size()) + 4;
    appendU16(table, static_cast<std::uint16_t>(sorted.size()));
    for (const Entry* entry : sorted) {
        appendU16(table, entry->tag);
        appendU16(table, entry->type);
        appendU32(table, entry->count);
        if (entry->value.size() <= 4) {
            table.append(entry->value);
            table.append(4 - entry->value.size(), '\0');
        } else {
            appendU32(table, dataOffset + static_cast<std::uint32_t>(data.size()));
            data.append(entry->value);
            if (entry->value.size() & 1) {
                data.append('\0');
            }
        }
    }
    appendU32(table, nextDirectory);
    return table + data;
}

} // namespace quarry::demo
