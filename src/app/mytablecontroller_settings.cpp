#include "app/mytablecontroller.h"
#include "app/session_settings.h"
#include "ui_mainwindow.h"

#include <QCompleter>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>

namespace quarry::app {

// The mode and the thorough option as the user left them; the window's geometry was restored
// before it was shown.
void MyTableController::restoreSettings() {
    switch (static_cast<Mode>(settings_->mode().value_or(0))) {
    case Mode::Video:
        Video_Mode_Radio(ui_->_rec_mode_Video);
        break;
    case Mode::RawFile:
        RawFile_Mode_Radio(ui_->_rec_mode_RawFile);
        break;
    default:
        break;
    }
    ui_->_Thro_Mode_Chk->setChecked(settings_->thorough());
    restoreThumbnailSize();
}

void MyTableController::restoreThumbnailSize() {
    // The slider moves the zoom when the size differs from the default.
    if (const std::optional<int> size = settings_->thumbnailSize())
        ui_->_zoom_slider->setValue(*size);
}

// Both fields take a typed folder, completed from the file system, and show the same text.
void MyTableController::setUpDestinationField() {
    Ui::MainWindow& ui = *ui_;
    destinationFolders_ = std::make_unique<QFileSystemModel>();
    destinationFolders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    destinationFolders_->setRootPath(QString());
    destinationCompleter_ = std::make_unique<QCompleter>(destinationFolders_.get());
    for (QLineEdit* field : {ui._path, ui._path_Sig}) {
        field->setReadOnly(false);
        field->setPlaceholderText(tr("Type a folder, or choose one with Browse"));
        field->setCompleter(destinationCompleter_.get());
        connect(field, &QLineEdit::editingFinished, this,
                [this, field] { rememberDestination(field->text()); });
    }
    connect(ui._path, &QLineEdit::textChanged, ui._path_Sig, &QLineEdit::setText);
    connect(ui._path_Sig, &QLineEdit::textChanged, ui._path, &QLineEdit::setText);
    for (QCheckBox* thorough : {ui._Thro_Mode_Chk, ui._Thro_Mode_Chk_SIG})
        connect(thorough, &QAbstractButton::clicked, this, [this](bool on) { settings_->setThorough(on); });
}

void MyTableController::rememberDestination(const QString& folder) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        settings_->setLastDestination(folder);
}

// The recently opened disk images, beside the button that opens one.
void MyTableController::setUpRecentImages() {
    recentImagesMenu_ = std::make_unique<QMenu>();
    recentImagesButton_ = std::make_unique<QPushButton>(tr("Recent Images"));
    recentImagesButton_->setObjectName(QStringLiteral("_recent_images_btn"));
    recentImagesButton_->setMenu(recentImagesMenu_.get());
    ui_->_refresh_Box->layout()->addWidget(recentImagesButton_.get());
    refreshRecentImages();
}

void MyTableController::refreshRecentImages() {
    if (!recentImagesMenu_)
        return;
    recentImagesMenu_->clear();
    for (const QString& path : settings_->recentImages()) {
        connect(recentImagesMenu_->addAction(QFileInfo(path).fileName()), &QAction::triggered, this,
                [this, path] { openDiskImage(path); });
        recentImagesMenu_->actions().constLast()->setToolTip(path);
    }
    recentImagesButton_->setEnabled(!recentImagesMenu_->isEmpty());
}

} // namespace quarry::app
