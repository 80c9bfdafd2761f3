#include "app/media_window.h"
#include "app/texts.h"
#include "results/ui/document_viewer.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/photo_viewer.h"
#include "road_support.h"

#include <QImageWriter>
#include <QMediaPlayer>
#include <QPainter>
#include <libexif/exif-data.h>

using namespace quarry::app;
using namespace quarry::app::test;

// Opening found items large: photos, PDFs and sounds from the browsers, and the help.
namespace {

// A JPEG, red on its left half and blue on its right, whose EXIF block says it is to be
// turned a quarter right (orientation 6).
QString turnedJpeg(const QString& path) {
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, 32, 32, Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(picture);

    ExifData* exif = exif_data_new();
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, exif_data_get_byte_order(exif), 6);
    exif_entry_unref(entry);
    unsigned char* block = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &block, &size);
    exif_data_unref(exif);
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + char((size + 2) >> 8) + char((size + 2) & 0xFF) +
                            QByteArray(reinterpret_cast<const char*>(block), int(size));
    std::free(block);
    writeFile(path, jpeg.left(2) + app1 + jpeg.mid(2));
    return path;
}

QString summaryOf(const QWidget* viewer) {
    return viewer->findChild<QLabel*>("photoSummary")->text();
}

} // namespace

class ViewersTest : public QObject {
    Q_OBJECT
private:
    MyTableController& scan(const char* modeRadio, const QStringList& files) {
        MyTableController& c = startOnCard(h_, files);
        c.window()->show();
        if (!Road{*h_}.scan(modeRadio))
            qFatal("the scan did not end");
        return c;
    }

    std::unique_ptr<Harness> h_;

private slots:
    void photoViewerStepsThroughThePhotosWithTheirSummary() {
        QTemporaryDir scratch;
        MyTableController& c =
            scan("_rec_mode_Photo",
                 {"040_Canon_40D.jpg", turnedJpeg(scratch.filePath("turned.jpg")), "053_DSCN0010.jpg"});
        // Both passes find the three photos.
        QCOMPARE(c.images().numberOfItems(), 6);
        activate(c.imageBrowser(), 0);
        quarry::results::PhotoViewer* viewer = c.photoViewer();
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(viewer));

        struct Step {
            int key;
            int index;
            QStringList said;
            QSize size;
        };
        const QList<Step> steps = {
            {0,
             0,
             {"Camera: Canon EOS 40D", "Taken: 2008-05-30 15:56:01", "Orientation: as stored"},
             {100, 68}},
            {Qt::Key_Right, 1, {"Camera: not recorded", "Orientation: turned a quarter right"}, {32, 64}},
            {Qt::Key_Right, 2, {"Camera: NIKON COOLPIX P6000", "Taken: 2008-10-22 16:28:39"}, {640, 480}},
            {Qt::Key_Left, 1, {"Size: 32 × 64 pixels"}, {32, 64}},
        };
        for (const Step& step : steps) {
            if (step.key)
                QTest::keyClick(viewer, Qt::Key(step.key));
            QCOMPARE(viewer->currentIndex(), step.index);
            QCOMPARE(viewer->picture().size(), step.size);
            for (const QString& line : step.said)
                QVERIFY2(summaryOf(viewer).contains(line), qPrintable(summaryOf(viewer)));
        }
        // Turned a quarter right: the red left half is now on top.
        viewer->showItem(1);
        QCOMPARE(viewer->picture().pixelColor(16, 4).red() > 200, true);
        QCOMPARE(viewer->picture().pixelColor(16, 60).blue() > 200, true);

        QVERIFY(viewer->fitsWindow());
        const double fitted = viewer->scale();
        QTest::keyClick(viewer, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(!viewer->fitsWindow() && viewer->scale() > fitted);
        QTest::keyClick(viewer, Qt::Key_0, Qt::ControlModifier);
        QVERIFY(viewer->fitsWindow());
        // The last photo stays when stepped past.
        viewer->showItem(5);
        QTest::keyClick(viewer, Qt::Key_Right);
        QCOMPARE(viewer->currentIndex(), 5);

        // Enter and Space open the browser's current photo too.
        viewer->close();
        c.imageBrowser()->setCurrentIndex(c.foundItemsFilter().index(2, 0));
        for (int key : {Qt::Key_Return, Qt::Key_Space}) {
            viewer->close();
            c.imageBrowser()->setFocus();
            QTest::keyClick(c.imageBrowser(), Qt::Key(key));
            QVERIFY(viewer->isVisible());
            QCOMPARE(viewer->currentIndex(), 2);
        }
    }

    void pdfOpensPageByPageAndSoundsInThePlayer() {
        MyTableController& c =
            scan("_rec_mode_RawFile", {"031_shared-mime-info-spec.pdf", "105_audio-wav.wav"});
        QCOMPARE(c.images().itemAtIndex(0).path, "PDF00001.PDF");
        activate(c.imageBrowser_2(), 0);
        // The viewer opens once its copy of the item is made.
        QTRY_VERIFY(c.documentViewer() && c.documentViewer()->isVisible());
        quarry::results::DocumentViewer* document = c.documentViewer();
        QVERIFY(document->pageCount() > 2);
        QCOMPARE(document->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        const QString of = QStringLiteral(" of %1").arg(document->pageCount());
        QCOMPARE(document->pageText(), "Page 1" + of);
        document->nextPage();
        document->nextPage();
        QCOMPARE(document->pageText(), "Page 3" + of);
        document->previousPage();
        QCOMPARE(document->pageText(), "Page 2" + of);
        document->goToPage(document->pageCount() + 5);
        QCOMPARE(document->currentPage(), document->pageCount() - 1);
        document->zoomIn();
        QCOMPARE(document->zoomMode(), QPdfView::ZoomMode::Custom);

        activate(c.imageBrowser_2(), 1);
        QTRY_VERIFY(c.mediaWindow() && c.mediaWindow()->isVisible());
        MediaWindow* player = c.mediaWindow();
        QMediaPlayer* sound = player->movieView().movie();
        QVERIFY(sound);
        auto* time = player->findChild<QLabel*>("movieTime");
        QTRY_VERIFY_WITH_TIMEOUT(sound->duration() > 0, 20000);
        QTRY_COMPARE(time->text(), "0:00 / " + playTimeText(sound->duration()));
        QVERIFY(sound->playbackState() != QMediaPlayer::PlayingState);
        player->close();
        QVERIFY(!player->movieView().movie());
    }

    void helpOpensInItsOwnWindowWithoutADesktopViewer() {
        Harness h;
        QVERIFY(QFile::copy(QStringLiteral(QUARRY_TEST_RESOURCE_DIR "/Help.pdf"), h.path("Help.pdf")));
        MyTableController& c = h.start();
        c.setUrlOpener([](const QUrl&) { return false; });
        c.Help_btn();
        QVERIFY(h.prompter->alerts.empty());
        QVERIFY(c.helpWindow() && c.helpWindow()->isVisible());
        QVERIFY(c.helpWindow()->pageCount() > 1);

        // A help file that does not open says so.
        c.helpWindow()->close();
        QFile::remove(h.path("Help.pdf"));
        writeFile(h.path("Help.pdf"), "%PDF-1.4\n");
        c.Help_btn();
        QCOMPARE(h.prompter->alerts.size(), 1u);
        QCOMPARE(h.prompter->alerts.front().message, texts::kHelpUnreadable);
        QVERIFY(!c.helpWindow()->isVisible());
    }
};

QTEST_MAIN(ViewersTest)
#include "viewers_test.moc"
