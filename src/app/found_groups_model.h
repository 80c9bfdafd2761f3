#pragma once

#include "app/titled_table_model.h"
#include "carving/found_groups.h"

namespace quarry::app {

// The counts table of a video or raw-file scan: one row per found-file group. The scan's
// worker adds to the groups; the table shows them at each reload().
class FoundGroupsModel final : public TitledTableModel {
    Q_OBJECT
public:
    enum Column : int { FileTypes, NoOfFile, FileName, FilePath, FileTypes_Hidden };

    explicit FoundGroupsModel(QObject* parent = nullptr);

    carving::FoundFileGroups& groups() { return groups_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    carving::FoundFileGroups groups_;
};

} // namespace quarry::app
