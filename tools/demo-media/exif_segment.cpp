#include "exif_segment.h"

#include "tiff_directory.h"

namespace quarry::demo {

namespace {

enum Tag : std::uint16_t {
    Make = 0x010F,
    Model = 0x0110,
    Orientation = 0x0112,
    XResolution = 0x011A,
    YResolution = 0x011B,
    ResolutionUnit = 0x0128,
    Software = 0x0131,
    DateTime = 0x0132,
    YCbCrPositioning = 0x0213,
    ExifIfdPointer = 0x8769,
    ExifVersion = 0x9000,
    DateTimeOriginal = 0x9003,
    ColorSpace = 0xA001,
    PixelXDimension = 0xA002,
    PixelYDimension = 0xA003,
};

constexpr std::uint32_t tiffHeaderSize = 8;

TiffDirectory primaryDirectory(const ShotInfo& shot, const QByteArray& when, std::uint32_t exifOffset) {
    TiffDirectory ifd0;
    ifd0.addAscii(Make, shot.make);
    ifd0.addAscii(Model, shot.model);
    ifd0.addShort(Orientation, shot.orientation);
    ifd0.addRational(XResolution, 72, 1);
    ifd0.addRational(YResolution, 72, 1);
    ifd0.addShort(ResolutionUnit, 2);
    ifd0.addAscii(Software, QByteArrayLiteral("quarry-demo-media"));
    ifd0.addAscii(DateTime, when);
    ifd0.addShort(YCbCrPositioning, 1);
    ifd0.addLong(ExifIfdPointer, exifOffset);
    return ifd0;
}

} // namespace

QByteArray ExifSegment::build(const ShotInfo& shot) {
    const QByteArray when = shot.taken.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1();

    TiffDirectory exif;
    exif.addUndefined(ExifVersion, QByteArrayLiteral("0231"));
    exif.addAscii(DateTimeOriginal, when);
    exif.addShort(ColorSpace, 1);
    exif.addLong(PixelXDimension, static_cast<std::uint32_t>(shot.storedSize.width()));
    exif.addLong(PixelYDimension, static_cast<std::uint32_t>(shot.storedSize.height()));

    // The sub-directory follows IFD0, whose size does not depend on the
    // pointer's value: measure it once, then make it with the real offset.
    const std::uint32_t exifOffset = tiffHeaderSize + primaryDirectory(shot, when, 0).size();
    const TiffDirectory ifd0 = primaryDirectory(shot, when, exifOffset);

    QByteArray tiff("II*\0", 4);
    appendU32(tiff, tiffHeaderSize);
    tiff += ifd0.serialize(tiffHeaderSize);
    tiff += exif.serialize(exifOffset);

    QByteArray payload("Exif\0\0", 6);
    payload += tiff;
    QByteArray segment("\xFF\xE1", 2);
    const auto length = static_cast<std::uint16_t>(payload.size() + 2);
    segment.append(static_cast<char>(length >> 8));
    segment.append(static_cast<char>(length & 0xFF));
    return segment + payload;
}

QByteArray ExifSegment::insertAfterSoi(const QByteArray& jpeg, const QByteArray& segment) {
    if (!jpeg.startsWith("\xFF\xD8")) {
        return {};
    }
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace quarry::demo
