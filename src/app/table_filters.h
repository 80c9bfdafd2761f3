#pragma once

#include <QHash>
#include <QSortFilterProxyModel>

namespace quarry::app {

// The file-type list as shown: rows grouped by category (the categories in the order they
// first occur, the rows of one category in list order), the category named on its first row
// only, and narrowed to the rows whose texts contain the search text.
class TypeListFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TypeListFilter(int categoryColumn, QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    void setSearchText(const QString& text);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString categoryOfSourceRow(int row) const;
    int rankOf(const QString& category) const;

    int categoryColumn_;
    mutable QHash<QString, int> ranks_;
};

// The found-file groups, without the types that found nothing when asked.
class EmptyGroupFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    EmptyGroupFilter(int countColumn, QObject* parent = nullptr);
    void setHideEmpty(bool hide);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int countColumn_;
    bool hideEmpty_ = false;
};

// The table's own model under any filters it is shown through.
QAbstractItemModel* sourceModelOf(QAbstractItemModel* model);

} // namespace quarry::app
