#include "app/mytablecontroller.h"
#include "app/results_panel.h"
#include "results/ui/browser_view.h"
#include "results/ui/file_icons.h"
#include "results/ui/found_items_filter.h"
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
    panel_->images().clear();
    panel_->itemAdder().setBrowsers(ui.imageBrowser, ui.imageBrowser_2);

    results::configureBrowser(ui.imageBrowser, &panel_->shown(), results::kPhotoBrowserZoom);
    ui._zoom_slider->setValue(ui._zoom_slider->maximum() / 2);
    results::setZoomValue(ui.imageBrowser, results::kPhotoBrowserZoom);

    results::configureBrowser(ui.imageBrowser_2, &panel_->shown(), results::kFileBrowserZoom);

    for (QListView* browser : {ui.imageBrowser, ui.imageBrowser_2}) {
        connect(browser->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, browser] {
            imageBrowserSelectionDidChange(browser);
            updateSelectionLine();
        });
    }
}

results::ImagesModel& MyTableController::images() const {
    return panel_->images();
}

QListView* MyTableController::imageBrowser() const {
    return ui_->imageBrowser;
}

QListView* MyTableController::imageBrowser_2() const {
    return ui_->imageBrowser_2;
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
