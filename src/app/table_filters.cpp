#include "app/table_filters.h"

namespace quarry::app {

TypeListFilter::TypeListFilter(int categoryColumn, QObject* parent)
    : QSortFilterProxyModel(parent), categoryColumn_(categoryColumn) {
    setFilterKeyColumn(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void TypeListFilter::setSourceModel(QAbstractItemModel* source) {
    QSortFilterProxyModel::setSourceModel(source);
    // Before the re-sort that a reset of the rows brings.
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { ranks_.clear(); });
    sort(0);
}

void TypeListFilter::setSearchText(const QString& text) {
    setFilterFixedString(text.trimmed());
}

QString TypeListFilter::categoryOfSourceRow(int row) const {
    return sourceModel()->index(row, categoryColumn_).data().toString();
}

int TypeListFilter::rankOf(const QString& category) const {
    if (ranks_.isEmpty()) {
        for (int row = 0; row < sourceModel()->rowCount(); ++row) {
            const QString met = categoryOfSourceRow(row);
            if (!ranks_.contains(met))
                ranks_.insert(met, static_cast<int>(ranks_.size()));
        }
    }
    return ranks_.value(category);
}

bool TypeListFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const int leftRank = rankOf(categoryOfSourceRow(left.row()));
    const int rightRank = rankOf(categoryOfSourceRow(right.row()));
    return leftRank != rightRank ? leftRank < rightRank : left.row() < right.row();
}

QVariant TypeListFilter::data(const QModelIndex& index, int role) const {
    if (role == Qt::DisplayRole && index.column() == categoryColumn_ && index.row() > 0) {
        const QModelIndex above = this->index(index.row() - 1, index.column());
        if (QSortFilterProxyModel::data(above, role) == QSortFilterProxyModel::data(index, role))
            return {};
    }
    return QSortFilterProxyModel::data(index, role);
}

EmptyGroupFilter::EmptyGroupFilter(int countColumn, QObject* parent)
    : QSortFilterProxyModel(parent), countColumn_(countColumn) {}

void EmptyGroupFilter::setHideEmpty(bool hide) {
    hideEmpty_ = hide;
    invalidateFilter();
}

bool EmptyGroupFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!hideEmpty_)
        return true;
    const QString count = sourceModel()->index(sourceRow, countColumn_, sourceParent).data().toString();
    return count.toULongLong() > 0;
}

QAbstractItemModel* sourceModelOf(QAbstractItemModel* model) {
    while (auto* proxy = qobject_cast<QAbstractProxyModel*>(model))
        model = proxy->sourceModel();
    return model;
}

} // namespace quarry::app
