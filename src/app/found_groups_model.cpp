#include "app/found_groups_model.h"

namespace quarry::app {

FoundGroupsModel::FoundGroupsModel(QObject* parent)
    : TitledTableModel({tr("File Type"), tr("Files Found"), tr("Latest File"), tr("Path"), tr("Key")},
                       parent) {}

int FoundGroupsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowsOf(groups_.size());
}

QVariant FoundGroupsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    // One snapshot, so the bounds test and the read see the same list while a scan adds groups.
    const std::vector<carving::FoundFileGroup> groups = groups_.snapshot();
    if (!validCell(index, groups.size()))
        return {};
    const carving::FoundFileGroup& group = groups[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case FileTypes:
        return QString::fromStdString(group.FileTypes);
    case NoOfFile:
        return QString::fromStdString(group.NoOfFile);
    case FileName:
        return QString::fromStdString(group.FileName);
    case FilePath:
        return QString::fromStdString(group.FilePath);
    default:
        return QString::fromStdString(group.FileTypes_Hidden);
    }
}

Qt::ItemFlags FoundGroupsModel::flags(const QModelIndex& index) const {
    return validCell(index, groups_.size()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace quarry::app
