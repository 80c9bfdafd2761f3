#include "app/media_screen.h"

#include "app/media_table_model.h"

#include <QCoreApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace quarry::app {

MediaScreen::MediaScreen(QTableView& table, QWidget& window, QWidget& panel, QDialog& loadingSheet,
                         Lister lister)
    : table_(table), window_(window), panel_(panel), loadingSheet_(loadingSheet), lister_(std::move(lister)),
      model_(std::make_unique<MediaTableModel>()) {
    table_.setModel(model_.get());
}

MediaScreen::~MediaScreen() = default;

void MediaScreen::setLister(Lister lister) {
    lister_ = std::move(lister);
}

// The enumeration blocks the event loop, so the sheet is drawn once before it starts.
void MediaScreen::reload() {
    loadingSheet_.show();
    loadingSheet_.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    model_->setRecords({});
    listMedia();

    loadingSheet_.hide();
    panel_.raise();
    window_.activateWindow();
}

void MediaScreen::listMedia() {
    std::vector<media::MyDataObject> records = lister_();
    records.insert(records.end(), openedDiskImages_.begin(), openedDiskImages_.end());
    model_->append(std::move(records));
}

void MediaScreen::addRow(media::MyDataObject record) {
    model_->append({std::move(record)});
}

void MediaScreen::deleteSelectedRow() {
    model_->removeRecord(selectedRow());
}

int MediaScreen::selectedRow() const {
    const QModelIndexList rows = table_.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MediaScreen::addDiskImage(const media::MyDataObject& record) {
    const auto same = [&](const media::MyDataObject& r) {
        return r.sourcePath == record.sourcePath;
    };
    if (std::none_of(openedDiskImages_.begin(), openedDiskImages_.end(), same)) {
        openedDiskImages_.push_back(record);
        addRow(record);
    }
    const std::vector<media::MyDataObject>& listed = model_->records();
    const auto row = std::find_if(listed.begin(), listed.end(), same);
    if (row != listed.end())
        table_.selectRow(static_cast<int>(row - listed.begin()));
}

} // namespace quarry::app
