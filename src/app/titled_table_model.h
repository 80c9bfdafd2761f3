#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <cstddef>

namespace quarry::app {

// A table with fixed column titles over a list its subclass keeps; reload() redraws every row
// after the list was changed in place.
class TitledTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TitledTableModel(QStringList titles, QObject* parent = nullptr);

    void reload();

    int columnCount(const QModelIndex& parent = {}) const final;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const final;

protected:
    // A list's size as a row count.
    static int rowsOf(std::size_t size);
    // The row of `index` when it is a cell of this table with a row below `size`.
    bool validCell(const QModelIndex& index, std::size_t size) const;

private:
    QStringList titles_;
};

} // namespace quarry::app
