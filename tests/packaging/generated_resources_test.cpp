// The files quarry-resgen puts into the resource folder: the help document,
// the placeholder thumbnail and the application icon.
#include <QFile>
#include <QImage>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString resourceDir = QStringLiteral(QUARRY_TEST_RESOURCE_DIR);
const QString iconDir = QStringLiteral(QUARRY_TEST_ICON_DIR);
const QString appId = QStringLiteral("com.quarryprofessional.QuarryRecovery");

bool isOpaque(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) == 255;
}

} // namespace

class GeneratedResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void helpIsAReadablePdfGuide();
    void placeholderIsAFramedTransparentPicture();
    void appIconRenderings_data();
    void appIconRenderings();
    void generatorFailsLoudlyOnBadInput_data();
    void generatorFailsLoudlyOnBadInput();
};

void GeneratedResourcesTest::helpIsAReadablePdfGuide() {
    const QString path = resourceDir + QStringLiteral("/Help.pdf");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    QCOMPARE(file.read(5), QByteArray("%PDF-"));

    QPdfDocument document;
    QCOMPARE(document.load(path), QPdfDocument::Error::None);
    QVERIFY(document.pageCount() >= 1);
    QCOMPARE(document.metaData(QPdfDocument::MetaDataField::Title).toString(),
             QStringLiteral("Quarry Recovery User Guide"));

    // The text must survive as text (fonts embedded), with every topic there.
    QString text;
    for (int page = 0; page < document.pageCount(); ++page) {
        text += document.getAllText(page).text() + QLatin1Char('\n');
    }
    text = text.simplified();
    for (const char* topic :
         {"Choose a medium", "Photo", "Video", "Raw File", "Entire Disk", "Sector Range", "thorough", "Stop",
          "Preview a found file", "Quarry (Vez) Results", "Never save", "Imaging a failing card"}) {
        QVERIFY2(text.contains(QLatin1String(topic)), qPrintable(QStringLiteral("missing: ") + topic));
    }
}

void GeneratedResourcesTest::placeholderIsAFramedTransparentPicture() {
    QImage image(resourceDir + QStringLiteral("/NoPreview.png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(128, 128));
    QVERIFY(image.hasAlphaChannel());
    image = image.convertToFormat(QImage::Format_ARGB32);

    // Transparent outside the rounded frame, solid inside it, and the glyph
    // differs from the frame's fill.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(127, 127)), 0);
    QVERIFY(isOpaque(image, 64, 20));
    QVERIFY(isOpaque(image, 64, 64));
    QVERIFY(image.pixel(64, 64) != image.pixel(64, 20));
}

void GeneratedResourcesTest::appIconRenderings_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    for (int size : {48, 64, 128, 256}) {
        QTest::addRow("%dx%d", size, size)
            << QStringLiteral("%1/%2x%2/%3.png").arg(iconDir).arg(size).arg(appId) << size;
    }
    QTest::addRow("resource folder") << resourceDir + QStringLiteral("/AppIcon.png") << 256;
}

void GeneratedResourcesTest::appIconRenderings() {
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(isOpaque(image, size / 2, size / 2));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void GeneratedResourcesTest::generatorFailsLoudlyOnBadInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addRow("missing help source")
        << QStringList{QStringLiteral("help"), QStringLiteral("absent.html")} << QStringLiteral("out.pdf");
    QTest::addRow("missing icon source")
        << QStringList{QStringLiteral("icon"), QStringLiteral("absent.svg"), QStringLiteral("64")}
        << QStringLiteral("out.png");
    QTest::addRow("size out of range")
        << QStringList{QStringLiteral("placeholder"), QStringLiteral("0")} << QStringLiteral("out.png");
}

void GeneratedResourcesTest::generatorFailsLoudlyOnBadInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess resgen;
    resgen.setWorkingDirectory(dir.path());
    resgen.start(QStringLiteral(QUARRY_RESGEN), arguments << dir.filePath(output));
    QVERIFY(resgen.waitForFinished(30000));
    QVERIFY(resgen.exitCode() != 0);
    QVERIFY(!resgen.readAllStandardError().isEmpty());
    // A failed step must not leave a file behind that the build would ship.
    QVERIFY(!QFile::exists(dir.filePath(output)));
}

QTEST_MAIN(GeneratedResourcesTest)
#include "generated_resources_test.moc"
