#include "results/ui/found_items_filter.h"

#include "results/ui/images_model.h"
#include "results/validated_saver.h"

namespace quarry::results {

FoundItemsFilter::FoundItemsFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    // Re-filtered when a row's data changes, as its check and copy marks come in after it.
    setDynamicSortFilter(true);
}

void FoundItemsFilter::setFilter(const ItemFilter& filter) {
    if (filter == filter_)
        return;
    filter_ = filter;
    invalidateRowsFilter();
}

bool FoundItemsFilter::passes(const ItemFilter& filter, const QString& type, std::uint64_t bytes,
                              QSize pixels, int check, bool copy) {
    if (!filter.type.isEmpty() && type != filter.type)
        return false;
    if (bytes < filter.minBytes)
        return false;
    // Only photos have a picture size; one that does not decode has none and fails.
    if (filter.minPixels.isValid() && !filter.minPixels.isEmpty() &&
        (!pixels.isValid() || pixels.width() < filter.minPixels.width() ||
         pixels.height() < filter.minPixels.height()))
        return false;
    if (filter.verifiedOnly && check != static_cast<int>(FileCheck::Verified))
        return false;
    return !(filter.hideCopies && copy);
}

bool FoundItemsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (filter_ == ItemFilter())
        return true;
    const QModelIndex item = sourceModel()->index(sourceRow, 0, sourceParent);
    return passes(filter_, item.data(ImagesModel::TypeRole).toString(),
                  item.data(ImagesModel::BytesRole).toULongLong(),
                  item.data(ImagesModel::PixelSizeRole).toSize(), item.data(ImagesModel::CheckRole).toInt(),
                  item.data(ImagesModel::CopyRole).toBool());
}

} // namespace quarry::results
