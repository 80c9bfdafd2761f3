#include "results/ui/images_model.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <algorithm>

namespace quarry::results {
namespace {

// Process-wide, so a key is never reused by another model or after a clear.
quint64 nextSerial() {
    static quint64 serial = 0;
    return serial++;
}

// Side of the picture a damaged item's mark is drawn on.
constexpr int kMarkedSide = 256;

// A small warning mark in the picture's corner: the item has sectors that read as zeros.
QIcon withDamageMark(QPixmap pixmap) {
    if (pixmap.isNull())
        return {};
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::max(8, std::min(pixmap.width(), pixmap.height()) / 4);
    const QRect badge(pixmap.width() - side, pixmap.height() - side, side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(side * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("!"));
    return QIcon(pixmap);
}

QString toolTipOf(const MyImageObject& item) {
    if (item.unreadableSectors == 0)
        return item.imageSubtitle();
    return QStringLiteral("%1\n%2 unreadable sector(s) read as zeros")
        .arg(item.imageSubtitle())
        .arg(item.unreadableSectors);
}

} // namespace

ImagesModel::ImagesModel(QObject* parent) : QAbstractListModel(parent), recoveryMode_([] { return 0; }) {}

void ImagesModel::setRecoveryModeSource(std::function<int()> source) {
    recoveryMode_ = std::move(source);
    if (!items_.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

void ImagesModel::appendItems(std::vector<MyImageObject> items) {
    if (items.empty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(items.size()) - 1);
    items_.reserve(items_.size() + items.size());
    for (auto& item : items)
        items_.push_back({std::move(item), nextSerial()});
    endInsertRows();
}

void ImagesModel::clear() {
    if (items_.empty())
        return;
    beginResetModel();
    items_.clear();
    endResetModel();
}

int ImagesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : numberOfItems();
}

QVariant ImagesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= numberOfItems())
        return {};
    const Entry& entry = items_[static_cast<std::size_t>(index.row())];
    const MyImageObject& item = entry.object;
    switch (role) {
    case Qt::DisplayRole:
        return item.imageTitle();
    case Qt::ToolTipRole:
        return toolTipOf(item);
    case Qt::DecorationRole:
        return picture(entry);
    case UidRole:
        return item.imageUID();
    case PathRole:
        return item.path;
    case StartSectorRole:
        return QVariant::fromValue<qulonglong>(item.File_Start_Sector);
    case EndSectorRole:
        return QVariant::fromValue<qulonglong>(item.File_End_Sector);
    default:
        return {};
    }
}

// Thumbnails stay JPEG bytes in the list; decoded pictures live only in the bounded pixmap
// cache, so memory does not grow with the number of photos.
QVariant ImagesModel::picture(const Entry& entry) const {
    const QVariant representation = entry.object.imageRepresentation(recoveryMode_());
    const bool damaged = entry.object.unreadableSectors > 0;
    if (representation.typeId() == QMetaType::QIcon) {
        const auto icon = representation.value<QIcon>();
        if (icon.isNull())
            return {};
        return damaged ? withDamageMark(icon.pixmap(kMarkedSide, kMarkedSide)) : icon;
    }
    const QByteArray bytes = representation.toByteArray();
    if (bytes.isEmpty())
        return {};
    const QString key = QStringLiteral("quarry-thumb-%1").arg(entry.serial);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        if (!pixmap.loadFromData(bytes))
            return {};
        QPixmapCache::insert(key, pixmap);
    }
    return damaged ? withDamageMark(pixmap) : QIcon(pixmap);
}

Qt::ItemFlags ImagesModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QStringList ImagesModel::mimeTypes() const {
    return {};
}

QMimeData* ImagesModel::mimeData(const QModelIndexList&) const {
    return nullptr;
}

Qt::DropActions ImagesModel::supportedDragActions() const {
    return Qt::IgnoreAction;
}

} // namespace quarry::results
