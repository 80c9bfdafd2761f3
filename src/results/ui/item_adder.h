#pragma once

#include "results/ui/myimageobject.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <optional>
#include <vector>

class QListView;

namespace quarry::results {

class ImagesModel;

// The photo browser scrolls to its newest item every 6th item, the file browser every 4th.
inline constexpr std::uint64_t kPhotoScrollInterval = 6;
inline constexpr std::uint64_t kFileScrollInterval = 4;
inline constexpr int kFileIconSide = 16;

// A carved file's item without its icon: the name trimmed of white space and line ends, the
// path set to it. Nothing for a blank name. Safe on any thread.
std::optional<MyImageObject> makeFileItem(const QString& imageName, const QString& image_UID,
                                          std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec);

// Adds found items to `images` and keeps the browser of their kind scrolled to the newest one.
// GUI thread only.
class ItemAdder : public QObject {
    Q_OBJECT
public:
    explicit ItemAdder(ImagesModel& images, QObject* parent = nullptr);

    void setBrowsers(QListView* imageBrowser, QListView* imageBrowser_2);
    // `Null_Image_Data`: the thumbnail of bytes that do not decode.
    void setNullImageData(const QByteArray& bytes) { nullImageData_ = bytes; }
    const QByteArray& nullImageData() const { return nullImageData_; }

    // `Added_Item_Count`: items added to either browser since the scan began.
    std::uint64_t addedItemCount() const { return Added_Item_Count; }
    void setAddedItemCount(std::uint64_t count) { Added_Item_Count = count; }

    // A carved photo, as its bytes; empty bytes add nothing. The thumbnail is made here.
    bool addImageWithData(const QByteArray& bytes, const QString& imageName, const QString& image_UID);
    // A carved file; a blank name adds nothing. The bytes are not used. The file's group
    // was already counted by the engine that found it.
    bool addImageWithData_2(const QByteArray& bytes, const QString& imageName, const QString& image_UID,
                            std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec);

    // Items made elsewhere, in found order, appended with one insertion each.
    void appendPhotoItems(std::vector<MyImageObject> items);
    // Items without an icon get their type's icon here.
    void appendFileItems(std::vector<MyImageObject> items);

signals:
    // The browser (1 = imageBrowser, 2 = imageBrowser_2) was scrolled to its last item.
    void scrolledToLast(int browser);

private:
    void append(std::vector<MyImageObject> items, std::uint64_t interval, int browser);
    QIcon smallIcon(const QString& extension);

    ImagesModel& images_;
    QPointer<QListView> imageBrowser_;
    QPointer<QListView> imageBrowser_2_;
    QByteArray nullImageData_;
    QHash<QString, QIcon> smallIcons_;
    std::uint64_t Added_Item_Count = 0;
};

} // namespace quarry::results
