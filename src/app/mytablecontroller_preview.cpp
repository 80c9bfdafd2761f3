#include "app/dialogs.h"
#include "app/movie_view.h"
#include "app/mytablecontroller.h"
#include "results/preview_extract.h"
#include "results/ui/file_icons.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/previewpane.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QMainWindow>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace quarry::app {

// The resource folder of an installed application is not writable; previews then go to a
// folder of this user's own.
std::string MyTableController::previewFolder() const {
    const std::string& resources = resourceFolder();
    if (::access(resources.c_str(), W_OK | X_OK) == 0 && QFileInfo(QString::fromStdString(resources)).isDir())
        return resources;
    const std::string fallback = privatePreviewFolder();
    if (fallback.empty() || !QDir().mkpath(QString::fromStdString(fallback)))
        return resources;
    QFile::setPermissions(QString::fromStdString(fallback),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

std::string MyTableController::privatePreviewFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? std::string() : QDir(cache).filePath(QStringLiteral("preview")).toStdString();
}

void MyTableController::imageBrowserSelectionDidChange(QListView* browser) {
    if (browser != ui_->imageBrowser_2)
        return;
    const QModelIndexList selected = browser->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto lowest =
        std::min_element(selected.begin(), selected.end(),
                         [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // The browser shows `images` through its filter; Prev_Index counts in `images`.
    const int row = foundItemsFilter().mapToSource(*lowest).row();
    const auto index = static_cast<std::uint32_t>(row);
    if (row < 0 || index == Prev_Index || row >= images_->numberOfItems())
        return;
    Prev_Index = index;
    ui_->_QuickLook_View->clear();
    closemovie_Win();
    const results::MyImageObject& item = images_->itemAtIndex(row);
    CreateFile_QuickLook_View_Demo(item.path, item.File_Start_Sector, item.File_End_Sector);
}

// The item's sectors are copied into the temporary file behind the preparation sheet, then
// previewed. A scan that ended meanwhile left its end step to this.
void MyTableController::CreateFile_QuickLook_View_Demo(const QString& name, std::uint64_t startSector,
                                                       std::uint64_t endSector) {
    ClearPreview_Window->show();
    ClearPreview_Window->repaint();
    session = ClearPreview_Window.get();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    if (std::unique_ptr<carving::SectorSource> device = openChosenMedium()) {
        // Previews leave at most one file behind while the program runs.
        std::error_code ignored;
        std::filesystem::remove(Demo_Test_File(), ignored);
        const std::string path = results::previewFilePath(previewFolder(), name.toStdString());
        setDemo_Test_File(path);
        const auto copy = results::extractPreviewFile(*device, startSector, endSector, path, scan.stop_now);
        device.reset();
        // Without a file of its own the item would be shown with the previous item's contents.
        if (copy.created)
            QuickLook_Preview_Thread(name);
        else
            showTypeIcon(name);
    } else {
        showTypeIcon(name);
    }

    ClearPreview_Window->hide();
    session = nullptr;
    if (scanEnded_)
        Final_or_Stop_Screen();
}

void MyTableController::QuickLook_Preview_Thread(const QString& path) {
    setQuickLook_View_Demo(QString::fromStdString(Demo_Test_File()), QFileInfo(path).fileName());
}

// In video mode a file that plays goes to the movie view; anything else is a picture.
void MyTableController::setQuickLook_View_Demo(const QString& filePath, const QString& fileName) {
    if (fileName.isNull())
        return;
    Ui::MainWindow& ui = *ui_;
    if (Recovery_MODE == kVideoMode) {
        ui._QuickLook_View_Box->setTitle(fileName);
        if (results::canBeMovie(filePath)) {
            ui._QuickLook_View->hide();
            ui.mMovieView->show();
            ui.mMovieView->setSource(QUrl::fromLocalFile(filePath));
            return;
        }
        ui._QuickLook_View->show();
        ui.mMovieView->hide();
    }
    Image_Preview(filePath, fileName);
}

void MyTableController::Image_Preview(const QString& filePath, const QString& fileName) {
    results::Image_Preview(ui_->_QuickLook_View, ui_->_QuickLook_View_Box, filePath, fileName);
}

// Without the medium there is nothing of the item to show but its type.
void MyTableController::showTypeIcon(const QString& itemName) {
    const QString title = QFileInfo(itemName).fileName();
    ui_->_QuickLook_View_Box->setTitle(title);
    ui_->mMovieView->hide();
    ui_->_QuickLook_View->show();
    const QIcon icon = results::fileTypeIcon(results::nameExtension(title));
    ui_->_QuickLook_View->setPixmap(icon.pixmap(QSize(results::kPreviewMaxSide, results::kPreviewMaxSide)));
}

} // namespace quarry::app
