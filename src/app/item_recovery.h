#pragma once

#include "app/prompter.h"
#include "app/wizard_flow.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class MainWindow;
}

namespace quarry::carving {
class ScanBridge;
}

namespace quarry::media {
struct MyDataObject;
}

namespace quarry::results {
class ImagesModel;
class RecoveryWriter;
struct RecoveryProgress;
enum class SearchKind;
} // namespace quarry::results

namespace quarry::app {

// Saves found items into the destination folder: each as the scan hands it over when a folder
// was chosen before the scan, and those not saved yet on request after it. Each saved item's
// check shows beside it in the browsers.
class ItemRecovery final : public QObject {
    Q_OBJECT
public:
    // The refusal text when saving into `destination` could write onto the medium `source`.
    using DestinationChecker = std::function<std::optional<std::string>(
        const std::filesystem::path& destination, const std::string& source)>;
    struct Hooks {
        std::function<int(const Alert&)> alert;
        std::function<Mode()> mode;
        // Asks for a destination folder, which then shows in the path fields.
        std::function<void()> chooseFolder;
        // After a batch: how many files and bytes went into `folder`.
        std::function<void(std::uint64_t files, std::uint64_t bytes, const QString& folder)> showSaved;
        std::function<bool(const QString& folder)> openFolder;
    };

    // `medium` is the chosen medium, read when a scan starts.
    ItemRecovery(Ui::MainWindow& ui, Prompter& prompter, results::ImagesModel& images,
                 carving::ScanBridge& bridge, const media::MyDataObject& medium, Hooks hooks);
    ~ItemRecovery() override;

    results::RecoveryWriter& writer() const { return *writer_; }
    void setDestinationChecker(DestinationChecker checker);
    // Saves the found items not saved yet (all, or those of `rows`) and tells where they went;
    // after saving them all it shows the results folder.
    void recover(const std::optional<std::vector<int>>& rows = std::nullopt);

private:
    void prepareForScan();
    void runProgress(const results::RecoveryProgress& start);
    // Alerts and forgets the chosen folder when it is on the scanned disk; true then.
    bool refuseUnsafeDestination(const std::filesystem::path& destination, results::SearchKind kind,
                                 const std::string& source);

    Ui::MainWindow& ui_;
    Prompter& prompter_;
    const media::MyDataObject& medium_;
    Hooks hooks_;
    DestinationChecker checker_;
    std::unique_ptr<results::RecoveryWriter> writer_;
};

} // namespace quarry::app
