#include "results/ui/images_model.h"

#include <QPainter>
#include <QPen>
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

// Side of the pictures of a copy's badge for icons of no fixed size; the views scale them.
constexpr int kBadgedSide = 64;

// A copy's picture: its own, at its largest size, with a small badge in the bottom right corner.
QIcon withCopyBadge(const QIcon& icon) {
    const auto sizes = icon.availableSizes();
    const QSize largest = sizes.isEmpty()
                              ? QSize(kBadgedSide, kBadgedSide)
                              : *std::max_element(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
                                    return a.width() * a.height() < b.width() * b.height();
                                });
    QPixmap pixmap = icon.pixmap(largest);
    if (pixmap.isNull())
        return icon;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::max(8, std::min(pixmap.width(), pixmap.height()) * 2 / 5);
    const QRectF badge(pixmap.width() - side, pixmap.height() - side, side, side);
    painter.setPen(QPen(Qt::white, side / 8.0));
    painter.setBrush(QColor(0xE0, 0x7B, 0x00));
    painter.drawEllipse(badge.adjusted(1, 1, -1, -1));
    // Two overlapping sheets: a copy.
    const qreal unit = side / 6.0;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, std::max(1.0, unit / 2)));
    painter.drawRect(QRectF(badge.left() + 1.6 * unit, badge.top() + 1.6 * unit, 2 * unit, 2 * unit));
    painter.drawRect(QRectF(badge.left() + 2.4 * unit, badge.top() + 2.4 * unit, 2 * unit, 2 * unit));
    return QIcon(pixmap);
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

// What follows the last dot of an item's name, upper case.
QString typeOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toUpper();
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
        items_.push_back({std::move(item), nextSerial(), {}, false, kNotChecked, {}});
    endInsertRows();
    while (!pendingNotes_.empty() && pendingNotes_.begin()->first < rowCount()) {
        applyNote(pendingNotes_.begin()->first, pendingNotes_.begin()->second);
        pendingNotes_.erase(pendingNotes_.begin());
    }
}

void ImagesModel::setItemNote(int row, const QString& name, const QString& note, bool copy, int check) {
    if (row < 0)
        return;
    if (row >= numberOfItems())
        pendingNotes_[row] = {name, note, copy, check};
    else
        applyNote(row, {name, note, copy, check});
}

void ImagesModel::applyNote(int row, const Note& note) {
    Entry& entry = items_[static_cast<std::size_t>(row)];
    if (entry.object.image_Name != note.name)
        return;
    entry.note = note.text;
    entry.copy = note.copy;
    entry.check = note.check;
    emit dataChanged(index(row), index(row), {Qt::ToolTipRole, Qt::DecorationRole, CheckRole, CopyRole});
}

void ImagesModel::setThumbnailRequester(std::function<void(int, const MyImageObject&)> requester) {
    thumbnailRequester_ = std::move(requester);
}

void ImagesModel::setThumbnail(int row, const QString& name, const QByteArray& thumbnail) {
    if (row < 0 || row >= numberOfItems())
        return;
    MyImageObject& item = items_[static_cast<std::size_t>(row)].object;
    if (item.image_Name != name || !item.thumbnailPending)
        return;
    item.imageData = thumbnail;
    item.thumbnailPending = false;
    emit dataChanged(index(row), index(row), {Qt::DecorationRole});
}

void ImagesModel::setOriginalNames(const std::function<QString(std::uint64_t)>& nameAt) {
    for (int row = 0; row < numberOfItems(); ++row) {
        Entry& entry = items_[static_cast<std::size_t>(row)];
        const MyImageObject& item = entry.object;
        const QString name = nameAt(item.photoEndSector > item.photoFirstSector ? item.photoFirstSector
                                                                                : item.File_Start_Sector);
        if (name != entry.originalName) {
            entry.originalName = name;
            emit dataChanged(index(row), index(row), {Qt::ToolTipRole});
        }
    }
}

void ImagesModel::clear() {
    pendingNotes_.clear();
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
    case Qt::ToolTipRole: {
        QString tip =
            entry.note.isEmpty() ? toolTipOf(item) : toolTipOf(item) + QLatin1Char('\n') + entry.note;
        if (!entry.originalName.isEmpty())
            tip += QStringLiteral("\nOriginal name: %1").arg(entry.originalName);
        return tip;
    }
    case Qt::DecorationRole: {
        const QVariant shown = picture(entry, index.row());
        return entry.copy && shown.isValid() ? QVariant(withCopyBadge(shown.value<QIcon>())) : shown;
    }
    case UidRole:
        return item.imageUID();
    case PathRole:
        return item.path;
    case StartSectorRole:
        return QVariant::fromValue<qulonglong>(item.File_Start_Sector);
    case EndSectorRole:
        return QVariant::fromValue<qulonglong>(item.File_End_Sector);
    case TypeRole:
        return typeOf(item.image_Name);
    case BytesRole:
        return QVariant::fromValue<qulonglong>(item.carvedBytes);
    case PixelSizeRole:
        return item.pixelSize;
    case CheckRole:
        return entry.check;
    case CopyRole:
        return entry.copy;
    default:
        return {};
    }
}

// Thumbnails stay JPEG bytes in the list; decoded pictures live only in the bounded pixmap
// cache, so memory does not grow with the number of photos.
QVariant ImagesModel::picture(const Entry& entry, int row) const {
    if (entry.object.thumbnailPending && recoveryMode_() == 0) {
        if (thumbnailRequester_)
            thumbnailRequester_(row, entry.object);
        return {};
    }
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
