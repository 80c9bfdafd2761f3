#include "app/results_panel.h"

#include "app/large_viewers.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/item_adder.h"
#include "results/ui/thumbnail_loader.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quarry::app {

ResultsPanel::ResultsPanel(Ui::MainWindow& ui, QWidget& window, QDialog& previewSheet, ScanSession& session,
                           const std::string& resourceFolder, ItemPreview::Hooks hooks)
    : images_(std::make_unique<results::ImagesModel>()),
      itemAdder_(std::make_unique<results::ItemAdder>(*images_)),
      shown_(std::make_unique<results::FoundItemsFilter>()),
      thumbnails_(std::make_unique<results::ThumbnailLoader>()) {
    images_->setRecoveryModeSource([mode = hooks.mode] { return static_cast<int>(mode()); });
    shown_->setSourceModel(images_.get());
    images_->setThumbnailRequester(
        [this](int row, const results::MyImageObject& item) { thumbnails_->request(row, item); });
    QObject::connect(thumbnails_.get(), &results::ThumbnailLoader::thumbnailReady, images_.get(),
                     &results::ImagesModel::setThumbnail);
    viewers_ = std::make_unique<LargeViewers>(window, *ui.imageBrowser, *ui.imageBrowser_2, *images_, *shown_,
                                              hooks.openMedium);
    preview_ = std::make_unique<ItemPreview>(ui, previewSheet, session, *images_, *shown_, resourceFolder,
                                             std::move(hooks));
}

ResultsPanel::~ResultsPanel() = default;

void ResultsPanel::readPlaceholderImage(const std::string& resourceFolder) {
    const QString noprevfile =
        QDir(QString::fromStdString(resourceFolder)).filePath(QStringLiteral("NoPreview.png"));
    if (!QFileInfo::exists(noprevfile))
        return;
    QFile file(noprevfile);
    if (file.open(QIODevice::ReadOnly))
        placeholder_ = file.readAll();
}

void ResultsPanel::clearForScan(bool photo) {
    images_->clear();
    if (!photo)
        preview_->setIndex(kNoPreviewIndex);
    itemAdder_->setNullImageData(placeholder_.value_or(QByteArray()));
}

} // namespace quarry::app
