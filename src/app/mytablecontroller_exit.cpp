#include "app/mytablecontroller.h"
#include "app/results_panel.h"
#include "carving/ui/scanbridge.h"
#include "results/temp_files.h"
#include "results/ui/recovery_writer.h"

#include <QCloseEvent>
#include <QMainWindow>

namespace quarry::app {
namespace {

const QString kExitPrompt = QStringLiteral("\nDo you really want to exit from 'Quarry Professional'?");
const QString kUnsavedWarning = QStringLiteral("%1 found file(s) have not been saved.");

} // namespace

// Only raises the flag: the engine ends the scan at its next sector.
void MyTableController::stop_usb_disk(QObject* /*sender*/) {
    scanBridge().requestStop();
}

void MyTableController::Exit_Btn(QObject* /*sender*/) {
    Exit_App();
}

bool MyTableController::Exit_App() {
    const int yes = 0;
    // Found files that were never saved are lost with the window; the prompt says how many.
    const std::uint64_t unsaved = recoveryWriter().unsavedCount();
    const QString warning = unsaved == 0 ? QString() : kUnsavedWarning.arg(unsaved);
    if (alert({kExitPrompt, warning, {QStringLiteral("Yes"), QStringLiteral("No")}, yes}) != yes)
        return false;
    exitConfirmed_ = true;
    // Found files already queued for the destination are written before the process ends,
    // so nothing the user saw being saved is lost.
    recoveryWriter().waitForIdle();
    // A preview copy still running would leave its file behind.
    panel_->preview().stop();
    const std::string resources = resourceFolder();
    results::deleteTemporaryPreviewFiles(Demo_Test_File(), resources);
    // Previews made where the resource folder was not writable.
    const std::string fallback = privatePreviewFolder();
    if (!fallback.empty() && fallback != resources)
        results::deleteTemporaryPreviewFiles(std::string(), fallback);
    terminator_();
    return true;
}

// Quitting closes the windows; after a confirmed exit that close is no second question.
bool MyTableController::windowShouldClose(QWidget* /*window*/) {
    return exitConfirmed_ || Exit_App();
}

// Closing the main window goes through the exit prompt.
bool MyTableController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get() && event->type() == QEvent::Close) {
        if (!windowShouldClose(window_.get()))
            event->ignore();
        return !event->isAccepted();
    }
    if (watchChooseControls(watched, event))
        return false;
    return QObject::eventFilter(watched, event);
}

} // namespace quarry::app
