#include "app/check_list_model.h"

namespace quarry::app {

CheckListModel::CheckListModel(QObject* parent)
    : TitledTableModel({QString(), tr("Extension"), tr("Description"), tr("Thorough only"), tr("Category")},
                       parent) {}

void CheckListModel::setRows(signatures::CheckList rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowsOf(rows_.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!validCell(index, rows_.size()))
        return {};
    const signatures::CheckListRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (index.column() == State)
        return role == Qt::CheckStateRole ? QVariant(row.State != 0 ? Qt::Checked : Qt::Unchecked)
                                          : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Extension:
        return QString::fromStdString(row.Extension);
    case Description:
        return QString::fromStdString(row.Description);
    case Thoro:
        return QString::fromStdString(row.Thoro);
    default:
        return QString::fromStdString(row.Category);
    }
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!validCell(index, rows_.size()) || index.column() != State || role != Qt::CheckStateRole)
        return false;
    rows_[static_cast<std::size_t>(index.row())].State = value.toInt() == Qt::Checked ? 1 : 0;
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!validCell(index, rows_.size()))
        return Qt::NoItemFlags;
    const Qt::ItemFlags cell = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == State ? cell | Qt::ItemIsUserCheckable : cell;
}

} // namespace quarry::app
