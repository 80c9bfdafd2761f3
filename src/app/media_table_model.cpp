#include "app/media_table_model.h"

#include <array>
#include <string_view>

namespace quarry::app {
namespace {

// What each column shows of a record, in column order.
constexpr std::array<std::string_view, 6> kCellKeys = {"Collumn1", "Collumn2", "Collumn3",
                                                       "Collumn4", "Collumn5", "Collumn6"};

} // namespace

MediaTableModel::MediaTableModel(QObject* parent)
    : TitledTableModel(
          {tr("Device"), tr("Volume Name"), tr("File System"), tr("Capacity"), tr("Disk"), tr("Sectors")},
          parent) {}

void MediaTableModel::setRecords(std::vector<media::MyDataObject> records) {
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

void MediaTableModel::append(std::vector<media::MyDataObject> records) {
    beginResetModel();
    records_.insert(records_.end(), std::make_move_iterator(records.begin()),
                    std::make_move_iterator(records.end()));
    endResetModel();
}

void MediaTableModel::removeRecord(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= records_.size())
        return;
    beginResetModel();
    records_.erase(records_.begin() + row);
    endResetModel();
}

int MediaTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowsOf(records_.size());
}

QVariant MediaTableModel::data(const QModelIndex& index, int role) const {
    if (!validCell(index, records_.size()) || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const auto& record = records_[static_cast<std::size_t>(index.row())];
    return QString::fromStdString(
        media::cellText(record, kCellKeys[static_cast<std::size_t>(index.column())]));
}

Qt::ItemFlags MediaTableModel::flags(const QModelIndex& index) const {
    return validCell(index, records_.size()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace quarry::app
