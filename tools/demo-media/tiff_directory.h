#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quarry::demo {

// One image file directory of a little-endian TIFF structure, as EXIF uses it.
// Values longer than four bytes go into a data area right after the entries.
class TiffDirectory {
public:
    void addAscii(std::uint16_t tag, const QByteArray& text);
    void addShort(std::uint16_t tag, std::uint16_t value);
    void addLong(std::uint16_t tag, std::uint32_t value);
    void addRational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator);
    void addUndefined(std::uint16_t tag, const QByteArray& bytes);

    // Bytes the directory takes when serialized, data area included.
    std::uint32_t size() const;

    // `offset` is where the directory starts, counted from the TIFF header;
    // the offsets written into the entries are relative to the same origin.
    QByteArray serialize(std::uint32_t offset, std::uint32_t nextDirectory = 0) const;

private:
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;
        std::uint32_t count;
        QByteArray value;
    };

    void add(std::uint16_t tag, std::uint16_t type, std::uint32_t count, QByteArray value);

    std::vector<Entry> entries_;
};

// Little-endian helpers shared by the demo writers.
void appendU16(QByteArray& out, std::uint16_t value);
void appendU32(QByteArray& out, std::uint32_t value);

} // namespace quarry::demo
