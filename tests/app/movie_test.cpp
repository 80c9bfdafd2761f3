#include "app/movie_view.h"
#include "app_test_support.h"

#include <QLabel>
#include <QMainWindow>
#include <QMediaPlayer>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

QUrl sampleMovie() {
    return QUrl::fromLocalFile(QStringLiteral(QUARRY_TEST_CORPUS_DIR "/109_sample.mp4"));
}

MovieView* movieView(const Harness& h) {
    return h.controller->window()->findChild<MovieView*>("mMovieView");
}

} // namespace

class MovieTest : public QObject {
    Q_OBJECT
private slots:
    void aMoviePutInDoesNotPlayUntilAskedAndCloseStopsIt() {
        if (!QFileInfo::exists(sampleMovie().toLocalFile()))
            QSKIP("corpus movie not available");
        Harness h;
        MyTableController& c = h.start();
        MovieView* view = movieView(h);
        view->setSource(sampleMovie());
        QMediaPlayer* movie = view->movie();
        QVERIFY(movie);
        QTRY_VERIFY_WITH_TIMEOUT(movie->mediaStatus() == QMediaPlayer::LoadedMedia ||
                                     movie->mediaStatus() == QMediaPlayer::InvalidMedia,
                                 20000);
        // Held still at its start, so its first picture shows, with its time beside the slider.
        QTRY_COMPARE(movie->playbackState(), QMediaPlayer::PausedState);
        QVERIFY(!c.isPlaying(movie));
        QCOMPARE(movie->position(), 0);
        QTRY_COMPARE(view->findChild<QLabel*>("movieTime")->text(),
                     "0:00 / " + playTimeText(movie->duration()));

        movie->play();
        QTRY_VERIFY_WITH_TIMEOUT(c.isPlaying(movie), 20000);
        c.closemovie_Win();
        QCOMPARE(movie->playbackState(), QMediaPlayer::StoppedState);
        QVERIFY(!view->movie());
        // Closing does not change whether the view is shown.
        QVERIFY(view->isHidden());
    }

    void playTimeReadsInMinutesAndSeconds() {
        const QList<QPair<qint64, QString>> cases = {{0, "0:00"},     {999, "0:00"},      {59999, "0:59"},
                                                     {60000, "1:00"}, {3723000, "62:03"}, {-5, "0:00"}};
        for (const auto& [ms, text] : cases)
            QCOMPARE(playTimeText(ms), text);
    }

    void showingTheVideoScanScreenClosesTheMovie() {
        Harness h;
        MyTableController& c = h.start();
        // Closing an empty view does nothing.
        QVERIFY(!c.isPlaying(nullptr));
        c.closemovie_Win();
        QVERIFY(!movieView(h)->movie() && movieView(h)->isHidden());
        c.Video_Mode_Radio();
        movieView(h)->setSource(QUrl::fromLocalFile(h.path("none.mov")));
        QVERIFY(movieView(h)->movie());
        c.show_hide_4_screen_RawFile(false);
        QVERIFY(!movieView(h)->isHidden());
        QVERIFY(!movieView(h)->movie());
    }
};

QTEST_MAIN(MovieTest)
#include "movie_test.moc"
