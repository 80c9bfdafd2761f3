#include "app/dialogs.h"
#include "app/mytablecontroller.h"
#include "app/session_settings.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QMainWindow>

namespace quarry::app {
namespace {

// One folder, starting in `start`; symbolic links are followed to the folders they point to.
std::optional<QString> chooseFolderWithDialog(QWidget* parent, const QString& start) {
    QFileDialog chooser(parent, QString(), start);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setWindowModality(Qt::WindowModal);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::nullopt;
    return chooser.selectedFiles().constFirst();
}

} // namespace

void MyTableController::Browse_Path(QObject* /*sender*/) {
    chooseDestinationFolder();
}

void MyTableController::Browse_Path_Sig(QObject* /*sender*/) {
    chooseDestinationFolder();
}

// The information dialog first, until a folder has once been chosen; then the chooser, which
// opens at the last folder. Both path fields show the chosen folder.
void MyTableController::chooseDestinationFolder() {
    const QString last = settings_->lastDestination();
    if (last.isEmpty()) {
        prompter_->runModal(*BrowseInfo_Window);
        BrowseInfo_Window->hide();
    }
    const FolderChooser chooser = folderChooser_ ? folderChooser_ : [last](QWidget* parent) {
        return chooseFolderWithDialog(parent, last);
    };
    const std::optional<QString> folder = chooser(ui_->controlPanel);
    if (!folder)
        return;
    ui_->_path->setText(*folder);
    ui_->_path_Sig->setText(*folder);
    settings_->setLastDestination(*folder);
}

} // namespace quarry::app
