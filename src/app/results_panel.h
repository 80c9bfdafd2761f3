#pragma once

#include "app/item_preview.h"

#include <QByteArray>
#include <memory>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace Ui {
class MainWindow;
}

namespace quarry::results {
class FoundItemsFilter;
class ImagesModel;
class ItemAdder;
class ThumbnailLoader;
} // namespace quarry::results

namespace quarry::app {

class LargeViewers;
class ScanSession;

// What a scan found, as the window shows it: the found items and what adds to them, the
// filter the browsers show them through, their thumbnails, the preview of the chosen item and
// the large viewers.
class ResultsPanel {
public:
    ResultsPanel(Ui::MainWindow& ui, QWidget& window, QDialog& previewSheet, ScanSession& session,
                 const std::string& resourceFolder, ItemPreview::Hooks hooks);
    ~ResultsPanel();

    results::ImagesModel& images() const { return *images_; }
    results::ItemAdder& itemAdder() const { return *itemAdder_; }
    results::FoundItemsFilter& shown() const { return *shown_; }
    results::ThumbnailLoader& thumbnails() const { return *thumbnails_; }
    ItemPreview& preview() const { return *preview_; }
    LargeViewers& viewers() const { return *viewers_; }

    // "NoPreview.png" from the resource folder; empty when the file does not exist.
    const std::optional<QByteArray>& placeholderImage() const { return placeholder_; }
    // A missing placeholder is not an error: items without a thumbnail then stay blank.
    void readPlaceholderImage(const std::string& resourceFolder);
    // A scan starts: the last one's items go; a file scan forgets the previewed one.
    void clearForScan(bool photo);

private:
    std::unique_ptr<results::ImagesModel> images_;
    std::unique_ptr<results::ItemAdder> itemAdder_;
    std::unique_ptr<results::FoundItemsFilter> shown_;
    std::unique_ptr<results::ThumbnailLoader> thumbnails_;
    std::optional<QByteArray> placeholder_;
    std::unique_ptr<ItemPreview> preview_;
    std::unique_ptr<LargeViewers> viewers_;
};

} // namespace quarry::app
