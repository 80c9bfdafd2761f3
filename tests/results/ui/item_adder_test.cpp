#include "results/ui/file_icons.h"
#include "results/ui/images_model.h"
#include "results/ui/item_adder.h"
#include "results/ui/thumbnail.h"

#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace quarry::results;

namespace {

QByteArray corpusFile(const char* name) {
    QFile file(QStringLiteral(QUARRY_TEST_CORPUS_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage decoded(const QByteArray& bytes) {
    return QImage::fromData(bytes);
}

const QByteArray kPlaceholder = "placeholder-bytes";

} // namespace

class ItemAdderTest : public QObject {
    Q_OBJECT
private slots:
    void thumbnailAppliesTheOrientationAndFitsIn100Pixels() {
        const QByteArray portrait = corpusFile("063_Portrait_6.jpg");
        QVERIFY(!portrait.isEmpty());
        const QByteArray thumb = makeThumbnail(portrait, kPlaceholder);
        QVERIFY(thumb.startsWith("\xFF\xD8"));
        const QImage image = decoded(thumb);
        // Stored 1800 × 1200 with orientation 6: shown upright it is portrait.
        QCOMPARE(image.height(), 100);
        QVERIFY(image.width() < image.height());
        QVERIFY(qAbs(image.width() - 67) <= 1);

        const QImage landscape = decoded(makeThumbnail(corpusFile("003_2004default.jpg"), kPlaceholder));
        QCOMPARE(std::max(landscape.width(), landscape.height()), 100);

        const QImage png = decoded(makeThumbnail(corpusFile("006_fluent-color.png"), kPlaceholder));
        QCOMPARE(png.size(), QSize(100, 66));
    }

    void smallImagesAreNotEnlarged() {
        QCOMPARE(decoded(makeThumbnail(corpusFile("040_Canon_40D.jpg"), kPlaceholder)).size(),
                 QSize(100, 68));
        QImage small(40, 12, QImage::Format_ARGB32);
        small.fill(Qt::transparent);
        const QImage thumb = decoded(makeThumbnail(encoded(small, "PNG"), kPlaceholder));
        QCOMPARE(thumb.size(), QSize(40, 12));
        // JPEG keeps no transparency: it is laid on white.
        QVERIFY(qGray(thumb.pixel(20, 6)) > 240);
    }

    void undecodableBytesGetThePlaceholder() {
        QCOMPARE(makeThumbnail(QByteArray(5000, '\x5a'), kPlaceholder), kPlaceholder);
        QCOMPARE(makeThumbnail(corpusFile("031_shared-mime-info-spec.pdf"), kPlaceholder), kPlaceholder);
        QCOMPARE(makeThumbnail(QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray()), QByteArray());
        QCOMPARE(fitWithin(QSize(1, 5000), 100), QSize(1, 100));
    }

    void photosAreCountedAndScrolledEverySixth() {
        ImagesModel images;
        ItemAdder adder(images);
        QListView imageBrowser;
        imageBrowser.setModel(&images);
        adder.setBrowsers(&imageBrowser, nullptr);
        adder.setNullImageData(kPlaceholder);
        QSignalSpy scrolled(&adder, &ItemAdder::scrolledToLast);

        QVERIFY(!adder.addImageWithData(QByteArray(), "GND00000.JPG", "GND00000.JPG"));
        QCOMPARE(adder.addedItemCount(), 0u);
        QCOMPARE(images.rowCount(), 0);

        const QByteArray jpeg = corpusFile("061_BlueSquare.jpg");
        QList<int> scrolledAt;
        for (int k = 1; k <= 18; ++k) {
            const QByteArray bytes = k == 2 ? QByteArray("garbage") : jpeg;
            QVERIFY(adder.addImageWithData(bytes, QString("GND%1.JPG").arg(k, 5, 10, QChar('0')), "uid"));
            if (scrolled.count() > scrolledAt.size())
                scrolledAt << k;
        }
        QCOMPARE(scrolledAt, (QList<int>{6, 12, 18}));
        QCOMPARE(scrolled.at(0).at(0).toInt(), 1);
        QCOMPARE(adder.addedItemCount(), 18u);
        QCOMPARE(images.itemAtIndex(1).imageData, kPlaceholder);
        QCOMPARE(images.itemAtIndex(17).image_Name, QString("GND00018.JPG"));
        QVERIFY(decoded(images.itemAtIndex(0).imageData).width() <= 100);

        // A batch that passes a multiple of six scrolls once.
        adder.setAddedItemCount(4);
        std::vector<MyImageObject> batch(5, MyImageObject(kPlaceholder, "x", "x"));
        adder.appendPhotoItems(std::move(batch));
        QCOMPARE(scrolled.count(), 4);
        QCOMPARE(adder.addedItemCount(), 9u);

        // A user who has scrolled back up is left there; at the end again, the browser follows.
        imageBrowser.resize(200, 150);
        imageBrowser.show();
        adder.appendPhotoItems(std::vector<MyImageObject>(60, MyImageObject(kPlaceholder, "y", "y")));
        QScrollBar* bar = imageBrowser.verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(0);
        const auto before = scrolled.count();
        adder.appendPhotoItems(std::vector<MyImageObject>(6, MyImageObject(kPlaceholder, "z", "z")));
        QCOMPARE(scrolled.count(), before);
        QCOMPARE(bar->value(), 0);
        QTest::qWait(50); // the batched layout settles
        bar->setValue(bar->maximum());
        adder.appendPhotoItems(std::vector<MyImageObject>(6, MyImageObject(kPlaceholder, "z", "z")));
        QCOMPARE(scrolled.count(), before + 1);
    }

    void filesAreTrimmedIconedAndScrolledEveryFourth() {
        ImagesModel images;
        ItemAdder adder(images);
        QSignalSpy scrolled(&adder, &ItemAdder::scrolledToLast);

        QVERIFY(!adder.addImageWithData_2({}, "   \t\n", "uid", 1, 2));
        QVERIFY(!adder.addImageWithData_2({}, "", "uid", 1, 2));
        QCOMPARE(adder.addedItemCount(), 0u);

        QList<int> scrolledAt;
        for (int k = 1; k <= 12; ++k) {
            QVERIFY(adder.addImageWithData_2({}, QString("  AVI%1.AVI\r\n").arg(k, 5, 10, QChar('0')),
                                             "raw uid", std::uint64_t(k) * 100, std::uint64_t(k) * 100 + 7));
            if (scrolled.count() > scrolledAt.size())
                scrolledAt << k;
        }
        QCOMPARE(scrolledAt, (QList<int>{4, 8, 12}));
        QCOMPARE(scrolled.at(0).at(0).toInt(), 2);

        const MyImageObject& item = images.itemAtIndex(2);
        QCOMPARE(item.image_Name, QString("AVI00003.AVI"));
        QCOMPARE(item.path, QString("AVI00003.AVI"));
        QCOMPARE(item.image_UID, QString("raw uid"));
        QCOMPARE(item.File_Start_Sector, 300u);
        QCOMPARE(item.File_End_Sector, 307u);
        QVERIFY(!item.image.isNull());
        QCOMPARE(item.image.availableSizes().value(0), QSize(kFileIconSide, kFileIconSide));
    }

    void fileIconsAreNeverBlank() {
        for (const char* extension :
             {"jpg", "PDF", "mp4", "docx", "xls", "wav", "zip", "", "qqq-unknown", "A B"}) {
            const QIcon icon = fileTypeIcon(extension);
            QVERIFY2(!icon.isNull(), extension);
            const QImage small = icon.pixmap(QSize(16, 16)).toImage();
            QVERIFY2(!small.isNull(), extension);
            int opaque = 0;
            for (int y = 0; y < small.height(); ++y)
                for (int x = 0; x < small.width(); ++x)
                    opaque += qAlpha(small.pixel(x, y)) > 0;
            QVERIFY2(opaque > 16, extension);
        }
        QVERIFY(!fallbackFileIcon().pixmap(QSize(200, 200)).isNull());
        QCOMPARE(nameExtension("a.b.PDF"), QString("PDF"));
        QCOMPARE(nameExtension("none"), QString());
    }

    void theDesktopThemeSuppliesTypeIconsWhenInstalled() {
        setupIconTheme();
        if (QIcon::fromTheme("image-jpeg").isNull())
            QSKIP("no MIME-type icon theme installed");
        QVERIFY(fileTypeIcon("jpg").cacheKey() != fallbackFileIcon().cacheKey());
        QVERIFY(fileTypeIcon("qqq-unknown").cacheKey() == fallbackFileIcon().cacheKey());
    }
};

QTEST_MAIN(ItemAdderTest)
#include "item_adder_test.moc"
