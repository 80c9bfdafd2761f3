#include "app/dialogs.h"
#include "app/movie_view.h"
#include "app/mytablecontroller.h"
#include "app/texts.h"
#include "results/ui/document_viewer.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMediaPlayer>

namespace quarry::app {

// The desktop's PDF viewer shows the help; without one, a window of our own does.
void MyTableController::Help_btn(QObject* /*sender*/) {
    const QString help = QDir(QString::fromStdString(resourceFolder_)).filePath(QStringLiteral("Help.pdf"));
    if (!QFileInfo::exists(help)) {
        alert({texts::kNoHelpFile});
        return;
    }
    if (urlOpener_(QUrl::fromLocalFile(help)))
        return;
    if (!helpWindow_)
        helpWindow_ = std::make_unique<results::DocumentViewer>(window_.get());
    if (!helpWindow_->openFile(help, tr("Quarry Recovery Help"))) {
        alert({texts::kHelpUnreadable});
        return;
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void MyTableController::About_btn(QObject* /*sender*/) {
    ui_->controlPanel->raise();
    window_->activateWindow();
    About_Sheet about(ui_->controlPanel);
    prompter_->runModal(about);
    about.hide();
}

void MyTableController::closemovie_Win() {
    stopPlayingMovie(ui_->mMovieView->movie());
    ui_->mMovieView->setSource(QUrl());
}

void MyTableController::stopPlayingMovie(QMediaPlayer* movie) {
    if (isPlaying(movie))
        movie->stop();
}

bool MyTableController::isPlaying(const QMediaPlayer* movie) const {
    return movie && movie->playbackState() == QMediaPlayer::PlayingState;
}

} // namespace quarry::app
