#pragma once

#include "app/titled_table_model.h"
#include "media/media_record.h"

#include <vector>

namespace quarry::app {

// The media screen's list: one row per medium, device first.
class MediaTableModel final : public TitledTableModel {
    Q_OBJECT
public:
    explicit MediaTableModel(QObject* parent = nullptr);

    const std::vector<media::MyDataObject>& records() const { return records_; }
    void setRecords(std::vector<media::MyDataObject> records);
    void append(std::vector<media::MyDataObject> records);
    // Rows outside the list are ignored.
    void removeRecord(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<media::MyDataObject> records_;
};

} // namespace quarry::app
