#include "results/ui/photo_viewer.h"
#include "results/ui/previewpane.h"

#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarry::results;

namespace {

QString corpus(const char* name) {
    return QStringLiteral(QUARRY_TEST_CORPUS_DIR "/") + name;
}

// The preview reads a copy named as the application names it: "dprv" plus the extension.
QString copyAs(const QTemporaryDir& dir, const char* corpusName, const QString& name) {
    const QString target = dir.filePath(name);
    QFile::remove(target);
    return QFile::copy(corpus(corpusName), target) ? target : QString();
}

bool fits(const QImage& image) {
    return image.width() <= kPreviewMaxSide && image.height() <= kPreviewMaxSide;
}

} // namespace

class PreviewPaneTest : public QObject {
    Q_OBJECT
private slots:
    void imagesAreScaledDownWithTheirOrientation() {
        QTemporaryDir dir;
        const auto jpeg = previewPicture(copyAs(dir, "063_Portrait_6.jpg", "dprv.JPG"));
        QCOMPARE(jpeg.kind, PreviewKind::Image);
        QCOMPARE(jpeg.image.height(), 200);
        QVERIFY(jpeg.image.width() < 200);

        const auto png = previewPicture(copyAs(dir, "018_julia-set.png", "dprv.PNG"));
        QCOMPARE(png.kind, PreviewKind::Image);
        QCOMPARE(png.image.size(), QSize(200, 200));

        const auto small = previewPicture(copyAs(dir, "040_Canon_40D.jpg", "dprv.jpg"));
        QCOMPARE(small.image.size(), QSize(100, 68));
    }

    void pdfShowsItsFirstPage() {
        QTemporaryDir dir;
        const auto pdf = previewPicture(copyAs(dir, "084_064034.pdf", "dprv.PDF"));
        QCOMPARE(pdf.kind, PreviewKind::PdfPage);
        QVERIFY(fits(pdf.image));
        QVERIFY(std::max(pdf.image.width(), pdf.image.height()) == 200);
    }

    void otherFilesShowTheirTypeIcon() {
        QTemporaryDir dir;
        for (const char* name : {"dprv.DOC", "dprv.qqq", "dprv"}) {
            QFile out(dir.filePath(name));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(4096, '\x11'));
            out.close();
            const auto picture = previewPicture(out.fileName());
            QCOMPARE(picture.kind, PreviewKind::TypeIcon);
            QVERIFY(!picture.image.isNull());
            QVERIFY(fits(picture.image));
        }
        // A truncated PDF (copy cut short) falls back to the icon rather than failing.
        QFile cut(dir.filePath("dprv.pdf"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(QByteArray("%PDF-1.4\n1 0 obj\n"));
        cut.close();
        QCOMPARE(previewPicture(cut.fileName()).kind, PreviewKind::TypeIcon);
        QCOMPARE(previewPicture(dir.filePath("missing.avi")).kind, PreviewKind::TypeIcon);
        QCOMPARE(previewPicture(QString()).kind, PreviewKind::None);
    }

    void moviesAreRecognised() {
        QTemporaryDir dir;
        QVERIFY(canBeMovie(copyAs(dir, "109_sample.mp4", "dprv.MP4")));
        QVERIFY(canBeMovie(copyAs(dir, "079_png.mov", "dprv.MOV")));
        QVERIFY(canBeMovie(copyAs(dir, "116_gen_camera_mjpeg.avi", "dprv.AVI")));
        QVERIFY(!canBeMovie(copyAs(dir, "061_BlueSquare.jpg", "dprv.JPG")));
        QFile empty(dir.filePath("dprv.mkv"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(!canBeMovie(empty.fileName()));
        QVERIFY(!canBeMovie(dir.filePath("none.mp4")));
    }

    void imagePreviewTitlesTheFrameAndFillsTheView() {
        QTemporaryDir dir;
        QLabel view;
        QGroupBox frame("No file is selected to preview");
        Image_Preview(&view, &frame, QString(), "ignored");
        QCOMPARE(frame.title(), QString("No file is selected to preview"));

        Image_Preview(&view, &frame, copyAs(dir, "061_BlueSquare.jpg", "dprv.JPG"), "GND00001.JPG");
        QCOMPARE(frame.title(), QString("GND00001.JPG"));
        QCOMPARE(view.pixmap().size(), QSize(200, 120));
    }

    // Where the stored picture's top-left pixel is seen, and the size seen, per EXIF orientation.
    void theLargeViewTurnsPicturesAsTheirOrientationSays() {
        QImage stored(3, 2, QImage::Format_RGB32);
        stored.fill(Qt::white);
        stored.setPixelColor(0, 0, Qt::red);
        const QList<std::tuple<int, QPoint, QSize>> cases = {
            {1, {0, 0}, {3, 2}}, {2, {2, 0}, {3, 2}}, {3, {2, 1}, {3, 2}}, {4, {0, 1}, {3, 2}},
            {5, {0, 0}, {2, 3}}, {6, {1, 0}, {2, 3}}, {7, {1, 2}, {2, 3}}, {8, {0, 2}, {2, 3}},
            {0, {0, 0}, {3, 2}}, {9, {0, 0}, {3, 2}}};
        for (const auto& [orientation, corner, size] : cases) {
            const QImage seen = orientedImage(stored, orientation);
            QCOMPARE(seen.size(), size);
            QCOMPARE(seen.pixelColor(corner), QColor(Qt::red));
        }
    }
};

QTEST_MAIN(PreviewPaneTest)
#include "preview_pane_test.moc"
