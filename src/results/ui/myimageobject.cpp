#include "results/ui/myimageobject.h"

namespace quarry::results {

MyImageObject::MyImageObject(const QByteArray& image_data, const QString& image_Name,
                             const QString& image_UID)
    : imageData(image_data), image_Name(image_Name), image_UID(image_UID) {}

MyImageObject::MyImageObject(const QIcon& image, const QString& image_Name, const QString& image_UID,
                             std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec)
    : image(image), image_Name(image_Name), image_UID(image_UID), File_Start_Sector(File_Start_Sec),
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
