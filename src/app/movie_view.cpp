#include "app/movie_view.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QStyle>
#include <algorithm>

namespace quarry::app {

QString playTimeText(qint64 ms) {
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

MovieView::MovieView(QWidget* parent) : QWidget(parent) {
    controls_.addWidget(&playButton_);
    controls_.addWidget(&position_);
    controls_.addWidget(&time_);
    position_.setObjectName(QStringLiteral("moviePosition"));
    position_.setAccessibleName(tr("Playing position"));
    time_.setObjectName(QStringLiteral("movieTime"));
    time_.setAccessibleName(tr("Playing time"));
    video_.setAccessibleName(tr("Movie picture"));
    layout_.setContentsMargins(0, 0, 0, 0);
    layout_.addWidget(&video_, 1);
    layout_.addLayout(&controls_);
    // A sound has no picture: its controls then sit at the top.
    layout_.addStretch(0);
    video_.hide();

    playButton_.setAutoRaise(true);
    playButton_.setEnabled(false);
    position_.setEnabled(false);
    showPlaybackState();
    showTime();
    connect(&playButton_, &QToolButton::clicked, this, &MovieView::togglePlayback);
    connect(&position_, &QSlider::sliderMoved, this, [this](int ms) {
        if (player_)
            player_->setPosition(ms);
    });
}

MovieView::~MovieView() = default;

void MovieView::createPlayer() {
    audio_ = std::make_unique<QAudioOutput>();
    player_ = std::make_unique<QMediaPlayer>();
    player_->setAudioOutput(audio_.get());
    player_->setVideoOutput(&video_);
    connect(player_.get(), &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        position_.setRange(0, static_cast<int>(ms));
        showTime();
    });
    connect(player_.get(), &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!position_.isSliderDown())
            position_.setValue(static_cast<int>(ms));
        showTime();
    });
    connect(player_.get(), &QMediaPlayer::playbackStateChanged, this, &MovieView::showPlaybackState);
    connect(player_.get(), &QMediaPlayer::mediaStatusChanged, this, &MovieView::mediaStatusChanged);
    connect(player_.get(), &QMediaPlayer::hasVideoChanged, &video_, &QWidget::setVisible);
}

// Pausing a loaded movie at its start draws its first picture, and lets the back end learn a
// sound's length, without playing either.
void MovieView::mediaStatusChanged() {
    if (player_->mediaStatus() == QMediaPlayer::LoadedMedia &&
        player_->playbackState() == QMediaPlayer::StoppedState)
        player_->pause();
}

void MovieView::showTime() {
    const qint64 duration = player_ ? player_->duration() : 0;
    const qint64 position = player_ ? player_->position() : 0;
    time_.setText(playTimeText(position) + QStringLiteral(" / ") + playTimeText(duration));
}

void MovieView::setSource(const QUrl& movie) {
    if (!player_) {
        if (movie.isEmpty())
            return;
        createPlayer();
    }
    player_->stop();
    player_->setSource(movie);
    position_.setValue(0);
    playButton_.setEnabled(!movie.isEmpty());
    position_.setEnabled(!movie.isEmpty());
    showTime();
}

QMediaPlayer* MovieView::movie() const {
    return player_ && !player_->source().isEmpty() ? player_.get() : nullptr;
}

void MovieView::togglePlayback() {
    QMediaPlayer* current = movie();
    if (!current)
        return;
    if (current->playbackState() == QMediaPlayer::PlayingState)
        current->pause();
    else
        current->play();
}

void MovieView::showPlaybackState() {
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    playButton_.setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playButton_.setToolTip(playing ? tr("Pause") : tr("Play"));
    playButton_.setAccessibleName(playButton_.toolTip());
}

} // namespace quarry::app
