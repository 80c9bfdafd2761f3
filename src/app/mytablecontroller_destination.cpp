#include "app/dialogs.h"
#include "app/mytablecontroller.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QMainWindow>

namespace quarry::app {
namespace {

// One folder; symbolic links are followed to the folders they point to.
std::optional<QString> chooseFolderWithDialog(QWidget* parent) {
    QFileDialog chooser(parent);
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

// The information dialog first, then the chooser; both path fields show the chosen folder.
void MyTableController::chooseDestinationFolder() {
    prompter_->runModal(*BrowseInfo_Window);
    BrowseInfo_Window->hide();
    const FolderChooser& chooser = folderChooser_ ? folderChooser_ : FolderChooser(&chooseFolderWithDialog);
    const std::optional<QString> folder = chooser(ui_->controlPanel);
    if (!folder)
        return;
    ui_->_path->setText(*folder);
    ui_->_path_Sig->setText(*folder);
}

} // namespace quarry::app
