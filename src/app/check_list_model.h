#pragma once

#include "app/titled_table_model.h"
#include "signatures/checklist.h"

namespace quarry::app {

// The file-type screen's check list: a check box per type, then its texts. Only the check
// box is editable.
class CheckListModel final : public TitledTableModel {
    Q_OBJECT
public:
    enum Column : int { State, Extension, Description, Thoro, Category };

    explicit CheckListModel(QObject* parent = nullptr);

    // Changed in place, the list is redrawn by reload().
    signatures::CheckList& rows() { return rows_; }
    const signatures::CheckList& rows() const { return rows_; }
    void setRows(signatures::CheckList rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    signatures::CheckList rows_;
};

} // namespace quarry::app
