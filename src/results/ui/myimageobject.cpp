#include "results/ui/myimageobject.h"

namespace quarry::results {

MyImageObject::MyImageObject(const QByteArray& data, const QString& name, const QString& uid)
    : imageData(data), image_Name(name), image_UID(uid) {}

MyImageObject::MyImageObject(const QIcon& icon, const QString& name, const QString& uid,
                             std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec)
    : image(icon), image_Name(name), image_UID(uid), File_Start_Sector(File_Start_Sec),
      File_End_Sector(File_End_Sec) {}

ImageRepresentationType MyImageObject::imageRepresentationType(int recoveryMode) const {
    return recoveryMode == 0 ? ImageRepresentationType::NSData : ImageRepresentationType::NSImage;
}

QVariant MyImageObject::imageRepresentation(int recoveryMode) const {
    if (imageRepresentationType(recoveryMode) == ImageRepresentationType::NSData)
        return imageData;
    return image;
}

} // namespace quarry::results
