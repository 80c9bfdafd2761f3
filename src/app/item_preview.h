#pragma once

#include "app/wizard_flow.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QDialog;
class QListView;

namespace Ui {
class MainWindow;
}

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {
class FoundItemsFilter;
class ImagesModel;
} // namespace quarry::results

namespace quarry::app {

class ScanSession;

// Prev_Index when no preview has been requested.
inline constexpr std::uint32_t kNoPreviewIndex = 0x7FFFFFFF;

// The preview of the item chosen in the file browser. Its sectors are copied into a temporary
// file on a worker while the preparation sheet shows, then the file is shown on the GUI thread.
// One copy runs at a time: a selection made meanwhile waits for it, and only the latest such
// selection is copied next, so a finished copy is never shown for another item.
class ItemPreview final : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // The scanned medium, opened read-only; null when it cannot be opened.
        std::function<std::unique_ptr<carving::SectorSource>()> openMedium;
        std::function<Mode()> mode;
        std::function<void()> closeMovie;
        // The scan's end step, which a scan that ended during a copy leaves to the preview.
        std::function<void()> endStep;
    };

    ItemPreview(Ui::MainWindow& ui, QDialog& sheet, ScanSession& session, const results::ImagesModel& images,
                const results::FoundItemsFilter& shown, std::string resourceFolder, Hooks hooks);
    // Waits for a running copy.
    ~ItemPreview() override;

    void selectionDidChange(QListView* browser);
    // Copies sectors [startSector, endSector) of the item `name`, then shows them.
    void copyAndShow(const QString& name, std::uint64_t startSector, std::uint64_t endSector);
    void showCopy(const QString& itemName);
    // In video mode a file that plays goes to the movie view; anything else is a picture.
    void show(const QString& filePath, const QString& fileName);
    void showPicture(const QString& filePath, const QString& fileName);
    // Without the medium there is nothing of the item to show but its type.
    void showTypeIcon(const QString& itemName);
    // The window is going away: a running copy ends at its next sector, and is waited for.
    void stop();

    // Index in the found items of the last preview request; kNoPreviewIndex forgets it.
    std::uint32_t index() const { return index_; }
    void setIndex(std::uint32_t index) { index_ = index; }
    // The temporary file of the latest preview.
    std::string file() const;
    void setFile(std::string path);
    // Where temporary preview files go: the resource folder when it is writable, else a
    // private folder of this user.
    std::string folder() const;
    // The private fallback folder of temporary preview files.
    static std::string privateFolder();

private:
    struct Request {
        QString name;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
    };
    void startCopy(const Request& request);
    void copyEnded(bool created);

    Ui::MainWindow& ui_;
    QDialog& sheet_;
    ScanSession& session_;
    const results::ImagesModel& images_;
    const results::FoundItemsFilter& shown_;
    std::string resourceFolder_;
    Hooks hooks_;
    std::uint32_t index_ = kNoPreviewIndex;
    mutable std::mutex fileMutex_;
    std::string file_;
    // The item being copied, from its start until it is shown.
    std::optional<Request> copying_;
    // The latest selection made while a copy ran.
    std::optional<Request> next_;
    QFutureWatcher<bool> copy_;
};

} // namespace quarry::app
