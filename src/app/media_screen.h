#pragma once

#include "media/media_record.h"

#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QTableView;
class QWidget;

namespace quarry::app {

class MediaTableModel;

// The media screen's list: the media of this machine, then the disk images opened in this
// session, which stay listed until the application ends.
class MediaScreen {
public:
    using Lister = std::function<std::vector<media::MyDataObject>()>;

    // `table` on `panel` shows the list; `loadingSheet` shows while it is rebuilt.
    MediaScreen(QTableView& table, QWidget& window, QWidget& panel, QDialog& loadingSheet, Lister lister);
    ~MediaScreen();

    MediaTableModel& model() const { return *model_; }
    void setLister(Lister lister);
    // Rebuilds the list behind the loading sheet.
    void reload();
    // Appends the media of this machine, then the opened disk images.
    void listMedia();
    void addRow(media::MyDataObject record);
    void deleteSelectedRow();
    // The selected row; -1 when none is.
    int selectedRow() const;
    // Lists a disk image once and selects its row.
    void addDiskImage(const media::MyDataObject& record);

private:
    QTableView& table_;
    QWidget& window_;
    QWidget& panel_;
    QDialog& loadingSheet_;
    Lister lister_;
    std::unique_ptr<MediaTableModel> model_;
    std::vector<media::MyDataObject> openedDiskImages_;
};

} // namespace quarry::app
