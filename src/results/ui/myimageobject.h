#pragma once

#include <QByteArray>
#include <QIcon>
#include <QSize>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace quarry::results {

// How a browser item hands over its picture: encoded bytes (photo scans) or an icon.
enum class ImageRepresentationType { NSData, NSImage };

// One item of the image browsers: a photo's thumbnail, or a carved file's name, sectors and icon.
class MyImageObject {
public:
    MyImageObject() = default;
    // A photo: its encoded thumbnail.
    MyImageObject(const QByteArray& data, const QString& name, const QString& uid);
    // A carved file: its type icon and the sectors it covers, end exclusive.
    MyImageObject(const QIcon& icon, const QString& name, const QString& uid, std::uint64_t File_Start_Sec,
                  std::uint64_t File_End_Sec);

    void setPath(const QString& itemPath) { path = itemPath; }

    // Both follow the recovery mode at the time they are asked: photo mode (0) shows the
    // bytes, video (1) and raw-file (2) mode the icon.
    ImageRepresentationType imageRepresentationType(int recoveryMode) const;
    QVariant imageRepresentation(int recoveryMode) const;
    const QString& imageUID() const { return image_UID; }
    const QString& imageTitle() const { return image_Name; }
    const QString& imageSubtitle() const { return image_Name; }

    QByteArray imageData;
    QString path;
    QIcon image;
    QString image_Name;
    QString image_UID;
    std::uint64_t File_Start_Sector = 0;
    std::uint64_t File_End_Sector = 0;
    // Sectors of the item that could not be read during the scan and are zeros in it.
    std::uint64_t unreadableSectors = 0;
    // Bytes as carved, and a photo's picture size (invalid when it does not decode); what
    // the browser's filters look at.
    std::uint64_t carvedBytes = 0;
    QSize pixelSize;
    // A photo whose thumbnail is made when it is first shown, from its sectors
    // [photoFirstSector, photoEndSector): the scan did not wait for it.
    bool thumbnailPending = false;
    // Where a photo lies on the medium, end exclusive, so a viewer can read it again.
    std::uint64_t photoFirstSector = 0;
    std::uint64_t photoEndSector = 0;
};

} // namespace quarry::results
