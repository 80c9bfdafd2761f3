#pragma once

#include <QBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QUrl>
#include <QVideoWidget>
#include <QWidget>
#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace quarry::app {

// "m:ss" of a play time in milliseconds; minutes go past 59.
QString playTimeText(qint64 ms);

// The movie view of the preview frame: a video surface with its own play/pause button,
// position slider and time. A movie put in is never started by the program; the user plays
// it. It shows its first picture, held still, once it has loaded.
class MovieView final : public QWidget {
    Q_OBJECT
public:
    explicit MovieView(QWidget* parent = nullptr);
    ~MovieView() override;

    // Puts a movie in, stopped at its start; an empty URL takes the current movie out.
    void setSource(const QUrl& movie);
    // The current movie, or null when the view holds none.
    QMediaPlayer* movie() const;

private:
    void createPlayer();
    void togglePlayback();
    void showPlaybackState();
    void showTime();
    void mediaStatusChanged();

    QVBoxLayout layout_{this};
    QHBoxLayout controls_;
    QVideoWidget video_{this};
    QToolButton playButton_{this};
    QSlider position_{Qt::Horizontal, this};
    QLabel time_{this};
    // Made on first use so that start-up does not wait for the media back end.
    std::unique_ptr<QAudioOutput> audio_;
    std::unique_ptr<QMediaPlayer> player_;
};

} // namespace quarry::app
