// quarry-demo-media and scripts/make-demo-media: every generated file decodes,
// the photos carry a well-formed EXIF orientation, the clip is a consistent
// MJPEG AVI, and the wiped card image still holds all the file data.
#include "riff_walker.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMap>
#include <QPdfDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TiffEntry {
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value; // inline value, or offset of the value
};

// Reads one little-endian IFD; fails on unsorted tags or values outside the TIFF.
bool readIfd(const QByteArray& tiff, std::uint32_t offset, QMap<std::uint16_t, TiffEntry>& entries) {
    static const QMap<std::uint16_t, std::uint32_t> typeSize = {{2, 1}, {3, 2}, {4, 4}, {5, 8}, {7, 1}};
    if (offset + 2 > static_cast<std::uint32_t>(tiff.size())) {
        return false;
    }
    const std::uint16_t count = readU16(tiff, offset);
    if (offset + 2 + count * 12u + 4 > static_cast<std::uint32_t>(tiff.size())) {
        return false;
    }
    int previous = -1;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint32_t at = offset + 2 + i * 12u;
        const std::uint16_t tag = readU16(tiff, at);
        const TiffEntry entry{readU16(tiff, at + 2), readU32(tiff, at + 4), readU32(tiff, at + 8)};
        if (tag <= previous || !typeSize.contains(entry.type)) {
            return false;
        }
        const std::uint32_t bytes = typeSize[entry.type] * entry.count;
        if (bytes > 4 && entry.value + bytes > static_cast<std::uint32_t>(tiff.size())) {
            return false;
        }
        previous = tag;
        entries.insert(tag, entry);
    }
    return true;
}

} // namespace

class DemoMediaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void photosCarryExifOrientation_data();
    void photosCarryExifOrientation();
    void pictureDecodes();
    void clipIsAConsistentMjpegAvi();
    void documentsOpen();
    void cardImageKeepsTheFilesAfterFormat();

private:
    QString file(const QString& relative) const { return dir_.filePath(QStringLiteral("files/") + relative); }

    QTemporaryDir dir_;
    QStringList written_;
};

void DemoMediaTest::initTestCase() {
    QVERIFY(dir_.isValid());
    QProcess tool;
    tool.start(QStringLiteral(QUARRY_DEMO_MEDIA), {dir_.filePath(QStringLiteral("files"))});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    written_ = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected = {
        QStringLiteral("DCIM/100QUARY/IMG_0001.JPG"), QStringLiteral("DCIM/100QUARY/IMG_0002.JPG"),
        QStringLiteral("DCIM/100QUARY/IMG_0003.JPG"), QStringLiteral("DCIM/100QUARY/IMG_0004.JPG"),
        QStringLiteral("DCIM/100QUARY/MVI_0005.AVI"), QStringLiteral("Pictures/Route map.png"),
        QStringLiteral("Documents/Packing list.rtf"), QStringLiteral("Documents/Trip notes.pdf")};
    QCOMPARE(written_, expected);
    for (const auto& path : written_) {
        QVERIFY2(QFileInfo(file(path)).size() > 0, qPrintable(path));
    }
}

void DemoMediaTest::photosCarryExifOrientation_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QImageIOHandler::Transformations>("transformation");
    QTest::addColumn<QSize>("upright");
    using T = QImageIOHandler;
    QTest::newRow("as stored") << "DCIM/100QUARY/IMG_0001.JPG" << 1
                               << T::Transformations(T::TransformationNone) << QSize(1024, 768);
    QTest::newRow("turned right") << "DCIM/100QUARY/IMG_0002.JPG" << 6
                                  << T::Transformations(T::TransformationRotate90) << QSize(768, 1024);
    QTest::newRow("upside down") << "DCIM/100QUARY/IMG_0003.JPG" << 3
                                 << T::Transformations(T::TransformationRotate180) << QSize(1024, 768);
    QTest::newRow("turned left") << "DCIM/100QUARY/IMG_0004.JPG" << 8
                                 << T::Transformations(T::TransformationRotate270) << QSize(768, 1024);
}

void DemoMediaTest::photosCarryExifOrientation() {
    QFETCH(QString, path);
    QFETCH(int, orientation);
    QFETCH(QImageIOHandler::Transformations, transformation);
    QFETCH(QSize, upright);

    const QByteArray jpeg = readAll(file(path));
    // SOI, then the camera's APP1 "Exif" segment.
    QVERIFY(jpeg.startsWith("\xFF\xD8\xFF\xE1"));
    const int segmentLength =
        (static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]);
    QCOMPARE(jpeg.mid(6, 6), QByteArray("Exif\0\0", 6));
    // The next marker follows the segment exactly.
    QCOMPARE(static_cast<unsigned char>(jpeg[4 + segmentLength]), 0xFF);

    const QByteArray tiff = jpeg.mid(12, segmentLength - 8);
    QVERIFY(tiff.startsWith(QByteArray("II*\0", 4)));
    QMap<std::uint16_t, TiffEntry> ifd0;
    QVERIFY(readIfd(tiff, readU32(tiff, 4), ifd0));
    QVERIFY(ifd0.contains(0x0112));
    QCOMPARE(ifd0[0x0112].type, 3);
    QCOMPARE(static_cast<int>(ifd0[0x0112].value & 0xFFFF), orientation);
    QCOMPARE(tiff.mid(ifd0[0x010F].value, ifd0[0x010F].count), QByteArray("Quarry Recovery\0", 16));
    QVERIFY(ifd0.contains(0x8769));
    QMap<std::uint16_t, TiffEntry> exif;
    QVERIFY(readIfd(tiff, ifd0[0x8769].value, exif));

    QImageReader reader(file(path));
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.transformation(), transformation);
    QCOMPARE(QSize(exif[0xA002].value, exif[0xA003].value), reader.size());
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), upright);
}

void DemoMediaTest::pictureDecodes() {
    QImageReader reader(file(QStringLiteral("Pictures/Route map.png")));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(800, 500));
}

void DemoMediaTest::clipIsAConsistentMjpegAvi() {
    const QByteArray avi = readAll(file(QStringLiteral("DCIM/100QUARY/MVI_0005.AVI")));
    RiffChunk root;
    QString error;
    QVERIFY2(RiffWalker().parse(avi, root, error), qPrintable(error));
    QCOMPARE(root.listType, QByteArray("AVI "));

    const RiffChunk* hdrl = nullptr;
    const RiffChunk* movi = nullptr;
    const RiffChunk* idx1 = nullptr;
    for (const auto& chunk : root.children) {
        if (chunk.listType == "hdrl") {
            hdrl = &chunk;
        } else if (chunk.listType == "movi") {
            movi = &chunk;
        } else if (chunk.id == "idx1") {
            idx1 = &chunk;
        }
    }
    QVERIFY(hdrl && movi && idx1);
    QCOMPARE(root.children.first().listType, QByteArray("hdrl"));
    QVERIFY(movi->offset < idx1->offset);

    QCOMPARE(hdrl->children.size(), 2);
    const RiffChunk& avih = hdrl->children[0];
    const RiffChunk& strl = hdrl->children[1];
    QCOMPARE(avih.id, QByteArray("avih"));
    QCOMPARE(avih.size, 56u);
    QCOMPARE(strl.listType, QByteArray("strl"));
    QCOMPARE(strl.children.size(), 2);
    const QByteArray& strh = strl.children[0].data;
    const QByteArray& strf = strl.children[1].data;
    QCOMPARE(strl.children[0].id, QByteArray("strh"));
    QCOMPARE(strl.children[1].id, QByteArray("strf"));
    QCOMPARE(strh.size(), 56);
    QCOMPARE(strf.size(), 40);

    const std::uint32_t frames = readU32(avih.data, 16);
    const QSize size(readU32(avih.data, 32), readU32(avih.data, 36));
    QVERIFY(frames >= 12);
    QCOMPARE(readU32(avih.data, 12) & 0x10u, 0x10u); // has an index
    QCOMPARE(readU32(avih.data, 24), 1u);            // one stream
    QCOMPARE(strh.left(8), QByteArray("vidsMJPG"));
    const std::uint32_t scale = readU32(strh, 20);
    const std::uint32_t rate = readU32(strh, 24);
    QVERIFY(scale > 0 && rate > 0);
    QCOMPARE(readU32(avih.data, 0), 1000000u * scale / rate);
    QCOMPARE(readU32(strh, 32), frames);
    QCOMPARE(readU32(strf, 0), 40u);
    QCOMPARE(QSize(readU32(strf, 4), readU32(strf, 8)), size);
    QCOMPARE(strf.mid(16, 4), QByteArray("MJPG"));

    QCOMPARE(static_cast<std::uint32_t>(movi->children.size()), frames);
    QCOMPARE(idx1->size, frames * 16);
    const qsizetype moviType = movi->offset + 8;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const RiffChunk& frame = movi->children[i];
        QCOMPARE(frame.id, QByteArray("00dc"));
        const qsizetype entry = i * 16;
        QCOMPARE(idx1->data.mid(entry, 4), QByteArray("00dc"));
        QCOMPARE(readU32(idx1->data, entry + 4) & 0x10u, 0x10u); // key frame
        QCOMPARE(static_cast<qsizetype>(readU32(idx1->data, entry + 8)), frame.offset - moviType);
        QCOMPARE(readU32(idx1->data, entry + 12), frame.size);

        QBuffer buffer;
        buffer.setData(frame.data);
        QImageReader reader(&buffer, "jpeg");
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(),
                 qPrintable(QStringLiteral("frame %1: %2").arg(i).arg(reader.errorString())));
        QCOMPARE(image.size(), size);
    }
}

void DemoMediaTest::documentsOpen() {
    QPdfDocument pdf;
    QCOMPARE(pdf.load(file(QStringLiteral("Documents/Trip notes.pdf"))), QPdfDocument::Error::None);
    QCOMPARE(pdf.pageCount(), 2);

    const QByteArray rtf = readAll(file(QStringLiteral("Documents/Packing list.rtf")));
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QCOMPARE(rtf.count('{'), rtf.count('}'));
    QCOMPARE(rtf.trimmed().back(), '}');
}

void DemoMediaTest::cardImageKeepsTheFilesAfterFormat() {
    const QString image = dir_.filePath(QStringLiteral("card.img"));
    const QString originals = dir_.filePath(QStringLiteral("card-files"));
    QProcess script;
    script.start(QStringLiteral(QUARRY_TEST_SOURCE_DIR "/scripts/make-demo-media"),
                 {QStringLiteral("--tool"), QStringLiteral(QUARRY_DEMO_MEDIA), QStringLiteral("--files"),
                  originals, image});
    QVERIFY(script.waitForFinished(120000));
    QVERIFY2(script.exitCode() == 0, script.readAllStandardError().constData());

    const QByteArray card = readAll(image);
    QCOMPARE(card.size(), 24 * 1024 * 1024);
    QCOMPARE(card.mid(510, 2), QByteArray("\x55\xAA"));
    QCOMPARE(card.mid(54, 8), QByteArray("FAT16   "));
    // The volume serial of the second format: the card really was wiped.
    QCOMPARE(readU32(card, 39), 0x5EC0FFEEu);

    const std::uint32_t rootStart = (readU16(card, 14) + card[16] * readU16(card, 22)) * 512u;
    const std::uint32_t rootEntries = readU16(card, 17);
    for (std::uint32_t i = 0; i < rootEntries; ++i) {
        const qsizetype entry = rootStart + i * 32;
        const bool unused = card[entry] == '\0';
        const bool volumeLabel = card[entry + 11] == '\x08';
        QVERIFY2(unused || volumeLabel, qPrintable(QStringLiteral("root entry %1 is in use").arg(i)));
    }

    // Every file is still there, whole, starting on a sector boundary where a
    // carver can find it.
    for (const auto& path : written_) {
        const QByteArray original = readAll(originals + QLatin1Char('/') + path);
        QVERIFY2(!original.isEmpty(), qPrintable(path));
        const qsizetype at = card.indexOf(original);
        QVERIFY2(at > 0, qPrintable(path + QStringLiteral(" not on the card")));
        QCOMPARE(at % 512, 0);
    }
}

QTEST_MAIN(DemoMediaTest)
#include "demo_media_test.moc"
