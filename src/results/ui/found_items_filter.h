#pragma once

#include <QSize>
#include <QSortFilterProxyModel>
#include <QString>
#include <cstdint>

namespace quarry::results {

// What the browser shows of the found items; the default shows everything.
struct ItemFilter {
    QString type;               // upper-case extension; empty: every type
    std::uint64_t minBytes = 0; // as carved
    QSize minPixels;            // photos at least this wide and this high; invalid: any
    bool verifiedOnly = false;  // only items whose format check passed
    bool hideCopies = false;    // not the copies of files saved already
    bool operator==(const ItemFilter&) const = default;
};

// A view on `images` (an ImagesModel) through an ItemFilter. Items are neither sorted nor
// moved, so the browsers keep the found order; an item whose check or copy mark arrives later
// appears or disappears then.
class FoundItemsFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FoundItemsFilter(QObject* parent = nullptr);

    const ItemFilter& filter() const { return filter_; }
    void setFilter(const ItemFilter& filter);

    // Whether an item with these properties passes `filter`.
    static bool passes(const ItemFilter& filter, const QString& type, std::uint64_t bytes, QSize pixels,
                       int check, bool copy);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    ItemFilter filter_;
};

} // namespace quarry::results
