#include "app/item_preview.h"
#include "app/large_viewers.h"
#include "app/mytablecontroller.h"
#include "app/results_panel.h"

namespace quarry::app {

std::string MyTableController::previewFolder() const {
    return panel_->preview().folder();
}

std::string MyTableController::privatePreviewFolder() {
    return ItemPreview::privateFolder();
}

void MyTableController::imageBrowserSelectionDidChange(QListView* browser) {
    panel_->preview().selectionDidChange(browser);
}

void MyTableController::CreateFile_QuickLook_View_Demo(const QString& name, std::uint64_t startSector,
                                                       std::uint64_t endSector) {
    panel_->preview().copyAndShow(name, startSector, endSector);
}

void MyTableController::QuickLook_Preview_Thread(const QString& path) {
    panel_->preview().showCopy(path);
}

void MyTableController::setQuickLook_View_Demo(const QString& filePath, const QString& fileName) {
    panel_->preview().show(filePath, fileName);
}

void MyTableController::Image_Preview(const QString& filePath, const QString& fileName) {
    panel_->preview().showPicture(filePath, fileName);
}

std::string MyTableController::Demo_Test_File() const {
    return panel_->preview().file();
}

void MyTableController::setDemo_Test_File(std::string path) {
    panel_->preview().setFile(std::move(path));
}

std::uint32_t MyTableController::previewIndex() const {
    return panel_->preview().index();
}

void MyTableController::openItemLarge(QListView* browser, int row) {
    panel_->viewers().openItemLarge(browser, row);
}

bool MyTableController::openFocusedItemLarge() {
    return panel_->viewers().openFocusedItemLarge();
}

results::PhotoViewer* MyTableController::photoViewer() const {
    return panel_->viewers().photoViewer();
}

results::DocumentViewer* MyTableController::documentViewer() const {
    return panel_->viewers().documentViewer();
}

MediaWindow* MyTableController::mediaWindow() const {
    return panel_->viewers().mediaWindow();
}

} // namespace quarry::app
