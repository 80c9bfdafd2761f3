#include "carving/found_groups.h"
#include "carving/memory_source.h"
#include "carving/ui/scanbridge.h"
#include "common/sector.h"

#include <QFile>
#include <QImage>
#include <QtTest>
#include <cstring>
#include <optional>
#include <thread>

using namespace quarry::carving;
using quarry::kSectorSize;
using quarry::results::MyImageObject;

namespace {

QByteArray corpusFile(const char* name) {
    QFile file(QStringLiteral(QUARRY_TEST_CORPUS_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::span<const std::uint8_t> bytesOf(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

// What the GUI thread received, in order: "pass:1", "photo:NAME", "file:NAME", "end".
struct Received {
    QStringList events;
    std::vector<MyImageObject> photos;

    void listen(FoundItemStream& stream) {
        QObject::connect(
            &stream, &FoundItemStream::passBegan, &stream,
            [this](PassKind pass, const QString&) { events << QString("pass:%1").arg(int(pass)); });
        QObject::connect(&stream, &FoundItemStream::photoItemsReady, &stream,
                         [this](const std::vector<MyImageObject>& items) {
                             for (const auto& item : items) {
                                 events << "photo:" + item.image_Name;
                                 photos.push_back(item);
                             }
                         });
        QObject::connect(&stream, &FoundItemStream::fileItemsReady, &stream,
                         [this](const std::vector<MyImageObject>& items) {
                             for (const auto& item : items)
                                 events << "file:" + item.image_Name;
                         });
    }
};

// A medium of zero sectors with the given files planted at the given sectors.
std::vector<std::uint8_t> plantedImage(std::uint64_t sectors,
                                       const std::vector<std::pair<std::uint64_t, QByteArray>>& files) {
    std::vector<std::uint8_t> image(sectors * kSectorSize, 0);
    for (const auto& [sector, data] : files)
        std::memcpy(image.data() + sector * kSectorSize, data.constData(),
                    static_cast<std::size_t>(data.size()));
    return image;
}

const quarry::signatures::SignatureList kJpegList{"JPG", "20000000", "FFD8FF", "1", "", "JPEG", "255"};

} // namespace

class ScanBridgeTest : public QObject {
    Q_OBJECT
private slots:
    void itemsArriveInFoundOrderWhateverTheirDecodingCost() {
        FoundItemStream stream;
        stream.setNullImageData("no-preview");
        Received received;
        received.listen(stream);
        const QByteArray big = corpusFile("002_string.jpg");
        const QByteArray small = corpusFile("040_Canon_40D.jpg");
        QVERIFY(!big.isEmpty() && !small.isEmpty());

        QStringList expected;
        std::thread worker([&] {
            stream.passStarted(PassKind::General, kGeneralModeLabel);
            for (int k = 1; k <= 12; ++k) {
                const QByteArray& data = k % 3 == 1 ? big : (k % 3 == 2 ? QByteArray("garbage") : small);
                const auto name = QString("GND%1.JPG").arg(k, 5, 10, QChar('0')).toStdString();
                stream.photoItem(PassKind::General, bytesOf(data), name, name, 0, 1, k == 2 ? 1 : 0);
            }
            stream.photoItem(PassKind::General, {}, "EMPTY.JPG", "EMPTY.JPG", 0, 0, 0);
            stream.passStarted(PassKind::Thorough, kThoroughModeLabel);
            stream.rawItem(PassKind::Thorough, "AVI00001.AVI", "AVI00001.AVI", 5, 9, 3);
            stream.rawItem(PassKind::Thorough, "  ", "  ", 9, 10, 0);
            stream.photoItem(PassKind::Thorough, bytesOf(big), "THD00013.JPG", "THD00013.JPG", 0, 1, 0);
            stream.flush();
        });
        expected << "pass:0";
        for (int k = 1; k <= 12; ++k)
            expected << QString("photo:GND%1.JPG").arg(k, 5, 10, QChar('0'));
        expected << "pass:1"
                 << "file:AVI00001.AVI"
                 << "photo:THD00013.JPG";
        worker.join();
        QCoreApplication::sendPostedEvents();
        stream.drain();

        QCOMPARE(received.events, expected);
        QCOMPARE(received.photos.size(), 13u);
        QCOMPARE(received.photos[1].imageData, QByteArray("no-preview"));
        // Damage travels with the item to the browser.
        QCOMPARE(received.photos[1].unreadableSectors, 1u);
        QCOMPARE(received.photos[0].unreadableSectors, 0u);
        const QImage first = QImage::fromData(received.photos[0].imageData);
        QVERIFY(!first.isNull());
        QVERIFY(std::max(first.width(), first.height()) <= 100);
        QCOMPARE(QImage::fromData(received.photos[2].imageData).size(), QSize(100, 68));
    }

    void photoScanDeliversEveryItemBeforeItEnds() {
        ScanControl control;
        ScanBridge bridge(control);
        Received received;
        received.listen(bridge.items());
        std::optional<ScanResult> finished;
        connect(&bridge, &ScanBridge::scanFinished, this, [&](const ScanResult& result) {
            received.events << "end";
            finished = result;
        });
        // Like the end-of-scan step: the worker waits while the GUI thread does its part.
        std::thread::id handlerThread;
        std::size_t itemsSeenByHandler = 0;
        bridge.setWorkerFinishedHandler([&](const ScanResult&) {
            handlerThread = std::this_thread::get_id();
            QMetaObject::invokeMethod(
                &bridge, [&] { itemsSeenByHandler = received.photos.size(); }, Qt::BlockingQueuedConnection);
        });

        // Dune's item is cut short by the thumbnail inside it, which starts on a sector boundary;
        // its own thumbnail is made from the whole file, read from the medium.
        const auto image = plantedImage(3000, {{3, corpusFile("061_BlueSquare.jpg")},
                                               {200, corpusFile("040_Canon_40D.jpg")},
                                               {400, corpusFile("063_Portrait_6.jpg")},
                                               {800, corpusFile("010_Dune.jpg")}});
        bridge.items().setMedium(std::make_shared<MemorySource>(image));
        auto source = std::make_unique<MemorySource>(image);
        ScanRequest request;
        request.start_sector = 0;
        request.end_sector = 3000;
        request.general = &kJpegList;
        request.thorough = &kJpegList;
        request.thoroughPass = false;
        PhotoCounters counters;
        QVERIFY(bridge.startPhotoScan(std::move(source), request, counters));
        QVERIFY(!bridge.startPhotoScan(nullptr, request, counters));
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.isRunning(), 60000);
        bridge.waitForWorker();
        QCoreApplication::sendPostedEvents();

        QVERIFY(finished);
        QCOMPARE(finished->status, ScanStatus::Complete);
        QVERIFY(handlerThread != std::this_thread::get_id());
        QCOMPARE(itemsSeenByHandler, 5u);
        QCOMPARE(received.events,
                 (QStringList{"pass:0", "photo:GND00001.JPG", "photo:GND00002.JPG", "photo:GND00003.JPG",
                              "photo:GND00004.JPG", "photo:GND00005.JPG", "end"}));
        QVERIFY(!QImage::fromData(received.photos[3].imageData).isNull());
        QCOMPARE(QImage::fromData(received.photos[0].imageData).size(), QSize(100, 60));
        QCOMPARE(QImage::fromData(received.photos[1].imageData).size(), QSize(100, 68));
        const QImage portrait = QImage::fromData(received.photos[2].imageData);
        QVERIFY(portrait.height() == 100 && portrait.width() < 100);
    }
};

QTEST_MAIN(ScanBridgeTest)
#include "scanbridge_test.moc"
