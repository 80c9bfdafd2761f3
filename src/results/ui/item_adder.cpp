#include "results/ui/item_adder.h"

#include "common/sector.h"
#include "results/ui/file_icons.h"
#include "results/ui/images_model.h"
#include "results/ui/thumbnail.h"

#include <QListView>
#include <QScrollBar>

namespace quarry::results {

std::optional<MyImageObject> makeFileItem(const QString& imageName, const QString& image_UID,
                                          std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec) {
    const QString name = imageName.trimmed();
    if (name.isEmpty())
        return std::nullopt;
    MyImageObject item(QIcon(), name, image_UID, File_Start_Sec, File_End_Sec);
    item.setPath(name);
    item.carvedBytes = File_End_Sec > File_Start_Sec ? (File_End_Sec - File_Start_Sec) * kSectorSize : 0;
    return item;
}

ItemAdder::ItemAdder(ImagesModel& images, QObject* parent) : QObject(parent), images_(images) {}

void ItemAdder::setBrowsers(QListView* imageBrowser, QListView* imageBrowser_2) {
    imageBrowser_ = imageBrowser;
    imageBrowser_2_ = imageBrowser_2;
}

bool ItemAdder::addImageWithData(const QByteArray& bytes, const QString& imageName,
                                 const QString& image_UID) {
    if (bytes.isEmpty())
        return false;
    std::vector<MyImageObject> items;
    QSize pixels;
    items.emplace_back(makeThumbnail(bytes, nullImageData_, &pixels), imageName, image_UID);
    items.back().carvedBytes = static_cast<std::uint64_t>(bytes.size());
    items.back().pixelSize = pixels;
    appendPhotoItems(std::move(items));
    return true;
}

bool ItemAdder::addImageWithData_2(const QByteArray&, const QString& imageName, const QString& image_UID,
                                   std::uint64_t File_Start_Sec, std::uint64_t File_End_Sec) {
    auto item = makeFileItem(imageName, image_UID, File_Start_Sec, File_End_Sec);
    if (!item)
        return false;
    std::vector<MyImageObject> items;
    items.push_back(std::move(*item));
    appendFileItems(std::move(items));
    return true;
}

void ItemAdder::appendPhotoItems(std::vector<MyImageObject> items) {
    append(std::move(items), kPhotoScrollInterval, 1);
}

void ItemAdder::appendFileItems(std::vector<MyImageObject> items) {
    for (auto& item : items) {
        if (item.image.isNull())
            item.image = smallIcon(nameExtension(item.image_Name));
    }
    append(std::move(items), kFileScrollInterval, 2);
}

void ItemAdder::append(std::vector<MyImageObject> items, std::uint64_t interval, int browser) {
    if (items.empty())
        return;
    bool scroll = false;
    for (std::size_t k = 0; k < items.size(); ++k)
        scroll = scroll || (Added_Item_Count + k + 1) % interval == 0;
    Added_Item_Count += items.size();
    QListView* view = browser == 1 ? imageBrowser_.data() : imageBrowser_2_.data();
    // A user who has scrolled back to look at earlier items keeps them in view.
    const QScrollBar* bar = view ? view->verticalScrollBar() : nullptr;
    const bool follow = bar == nullptr || bar->value() >= bar->maximum();
    images_.appendItems(std::move(items));
    if (!scroll || !follow)
        return;
    // One scroll per batch reaches the same place as one per counted item.
    if (view && view->model() && view->model()->rowCount() > 0)
        view->scrollTo(view->model()->index(view->model()->rowCount() - 1, 0));
    emit scrolledToLast(browser);
}

QIcon ItemAdder::smallIcon(const QString& extension) {
    const QString key = extension.toLower();
    if (const auto it = smallIcons_.constFind(key); it != smallIcons_.constEnd())
        return *it;
    const QIcon icon(fileTypeIcon(key).pixmap(QSize(kFileIconSide, kFileIconSide)));
    smallIcons_.insert(key, icon);
    return icon;
}

} // namespace quarry::results
