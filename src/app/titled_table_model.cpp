#include "app/titled_table_model.h"

#include <algorithm>
#include <limits>

namespace quarry::app {

TitledTableModel::TitledTableModel(QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(std::move(titles)) {}

void TitledTableModel::reload() {
    beginResetModel();
    endResetModel();
}

int TitledTableModel::rowsOf(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, std::numeric_limits<int>::max()));
}

bool TitledTableModel::validCell(const QModelIndex& index, std::size_t size) const {
    return index.isValid() && index.model() == this && index.row() >= 0 &&
           static_cast<std::size_t>(index.row()) < size && index.column() >= 0 &&
           index.column() < titles_.size();
}

int TitledTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TitledTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return role == Qt::DisplayRole ? QVariant(titles_[section]) : QVariant();
}

} // namespace quarry::app
