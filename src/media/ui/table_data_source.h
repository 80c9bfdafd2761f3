#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <vector>

class QTableView;

namespace quarry::media {

// What a table asks of its data source: rows, a cell by column identifier, an edited cell.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(const QTableView* table) const = 0;
    virtual QVariant tableView_objectValueForTableColumn_row(const QTableView* table, const QString& column,
                                                             int row) const = 0;
    virtual void tableView_setObjectValue_forTableColumn_row(const QTableView* table, const QVariant& value,
                                                             const QString& column, int row) = 0;
};

struct TableColumn {
    QString identifier;    // what the data source is asked by
    QString title;         // header text
    bool checkBox = false; // the value is a number shown as a check box; non-zero is ticked
};

// Serves one table from a TableDataSource, by column identifier. The model keeps no rows of
// its own: reloadData() is the table's reload.
class TableDataSourceModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // Header role that answers a column's identifier.
    static constexpr int ColumnIdentifierRole = Qt::UserRole + 1;

    TableDataSourceModel(TableDataSource& source, const QTableView& table, std::vector<TableColumn> columns,
                         QObject* parent = nullptr);

    void reloadData();
    // The identifier of a column, "" outside every column.
    QString columnIdentifier(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const TableColumn* column(int index) const;

    TableDataSource& source_;
    const QTableView& table_;
    std::vector<TableColumn> columns_;
};

} // namespace quarry::media
