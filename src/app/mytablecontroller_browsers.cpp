#include "app/mytablecontroller.h"
#include "results/ui/browser_view.h"
#include "results/ui/file_icons.h"
#include "results/ui/images_model.h"
#include "results/ui/item_adder.h"
#include "ui_mainwindow.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QMainWindow>

namespace quarry::app {

// Both browsers show the one list of found items; only one of them is visible at a time.
void MyTableController::setUpImageBrowsers() {
    Ui::MainWindow& ui = *ui_;
    results::setupIconTheme();
    images_->clear();
    itemAdder_->setBrowsers(ui.imageBrowser, ui.imageBrowser_2);

    results::configureBrowser(ui.imageBrowser, images_.get(), results::kPhotoBrowserZoom);
    ui._zoom_slider->setValue(ui._zoom_slider->maximum() / 2);
    results::setZoomValue(ui.imageBrowser, results::kPhotoBrowserZoom);

    results::configureBrowser(ui.imageBrowser_2, images_.get(), results::kFileBrowserZoom);

    for (QListView* browser : {ui.imageBrowser, ui.imageBrowser_2}) {
        connect(browser->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, browser] { imageBrowserSelectionDidChange(browser); });
    }
    setUpViewers();
}

QListView* MyTableController::imageBrowser() const {
    return ui_->imageBrowser;
}

QListView* MyTableController::imageBrowser_2() const {
    return ui_->imageBrowser_2;
}

void MyTableController::addImageWithData(const QByteArray& bytes, const QString& imageName,
                                         const QString& image_UID) {
    itemAdder_->setNullImageData(Null_Image_Data.value_or(QByteArray()));
    itemAdder_->addImageWithData(bytes, imageName, image_UID);
    Added_Item_Count = itemAdder_->addedItemCount();
}

// The group was counted by the engine that found the file.
void MyTableController::addImageWithData_2(const QByteArray& bytes, const QString& imageName,
                                           const QString& image_UID, std::uint64_t File_Start_Sec,
                                           std::uint64_t File_End_Sec) {
    itemAdder_->addImageWithData_2(bytes, imageName, image_UID, File_Start_Sec, File_End_Sec);
    Added_Item_Count = itemAdder_->addedItemCount();
}

// Only the photo browser zooms; the file browser keeps its small icons.
void MyTableController::zoomSliderDidChange(QObject* /*sender*/) {
    const QSlider& slider = *ui_->_zoom_slider;
    const int span = slider.maximum() - slider.minimum();
    const double zoom = span > 0 ? double(slider.value() - slider.minimum()) / span : 0.0;
    results::setZoomValue(ui_->imageBrowser, zoom);
    ui_->imageBrowser->viewport()->update();
}

void MyTableController::scrollerAction(QAbstractSlider* sender, int action) {
    if (!sender)
        return;
    results::scrollerAction(sender,
                            results::scrollerPartFor(static_cast<QAbstractSlider::SliderAction>(action)));
}

} // namespace quarry::app
