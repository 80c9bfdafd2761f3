#include "media/ui/table_data_source.h"

namespace quarry::media {

TableDataSourceModel::TableDataSourceModel(TableDataSource& source, const QTableView& table,
                                           std::vector<TableColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), source_(source), table_(table), columns_(std::move(columns)) {}

void TableDataSourceModel::reloadData() {
    beginResetModel();
    endResetModel();
}

const TableColumn* TableDataSourceModel::column(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size())
        return nullptr;
    return &columns_[static_cast<std::size_t>(index)];
}

QString TableDataSourceModel::columnIdentifier(int index) const {
    const TableColumn* c = column(index);
    return c ? c->identifier : QString();
}

int TableDataSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : source_.numberOfRowsInTableView(&table_);
}

int TableDataSourceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TableDataSourceModel::data(const QModelIndex& index, int role) const {
    const TableColumn* c = column(index.column());
    if (!index.isValid() || !c)
        return {};
    if (c->checkBox) {
        if (role != Qt::CheckStateRole)
            return {};
        const QVariant value =
            source_.tableView_objectValueForTableColumn_row(&table_, c->identifier, index.row());
        return value.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return source_.tableView_objectValueForTableColumn_row(&table_, c->identifier, index.row());
}

bool TableDataSourceModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const TableColumn* c = column(index.column());
    if (!index.isValid() || !c)
        return false;
    QVariant stored = value;
    if (c->checkBox) {
        if (role != Qt::CheckStateRole)
            return false;
        stored = value.toInt() == Qt::Checked ? 1 : 0;
    } else if (role != Qt::EditRole) {
        return false;
    }
    source_.tableView_setObjectValue_forTableColumn_row(&table_, stored, c->identifier, index.row());
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags TableDataSourceModel::flags(const QModelIndex& index) const {
    const TableColumn* c = column(index.column());
    if (!index.isValid() || !c)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (c->checkBox)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TableDataSourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const TableColumn* c = column(section);
    if (orientation != Qt::Horizontal || !c)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return c->title;
    if (role == ColumnIdentifierRole)
        return c->identifier;
    return {};
}

} // namespace quarry::media
