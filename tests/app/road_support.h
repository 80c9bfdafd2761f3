#pragma once

#include "app_test_support.h"
#include "carving/ui/scanbridge.h"
#include "results/ui/images_model.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QProcess>
#include <QTableView>
#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <string_view>

namespace quarry::app::test {

// A disk image made of corpus files, each starting on a sector boundary behind zeros.
struct DiskImage {
    QString path;
    std::uint64_t sectors = 0;
};

inline DiskImage buildImage(const QString& path, const QStringList& corpusFiles, qint64 minimumBytes = 0) {
    QByteArray bytes(64 * 512, '\0');
    for (const QString& name : corpusFiles) {
        QFile file(QDir(QStringLiteral(QUARRY_TEST_CORPUS_DIR)).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("corpus file missing: %s", qPrintable(name));
        bytes += file.readAll();
        bytes += QByteArray(8 * 512 + (512 - bytes.size() % 512) % 512, '\0');
    }
    if (bytes.size() < minimumBytes)
        bytes += QByteArray(minimumBytes - bytes.size(), '\0');
    writeFile(path, bytes);
    return {path, static_cast<std::uint64_t>(bytes.size() / 512)};
}

// Clicks, then double-clicks, the item shown at `row` of `browser`.
inline void activate(QListView* browser, int row) {
    const QRect cell = browser->visualRect(browser->model()->index(row, 0));
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(browser->viewport(), Qt::LeftButton, {}, cell.center());
}

// A medium whose sectors come from a file rather than a device.
inline media::MyDataObject imageRecord(const DiskImage& image) {
    media::MyDataObject record = mediaRecord("image0", std::to_string(image.sectors), std::string("IMAGE"));
    record.sourcePath = image.path.toStdString();
    return record;
}

// The definition files and the placeholder of the build, in the harness's resource folder.
inline void copyResources(const Harness& h) {
    const QDir build(QStringLiteral(QUARRY_TEST_RESOURCE_DIR));
    for (const QString& name :
         {QStringLiteral("QRYExt2.dll"), QStringLiteral("QRYExt2Adv.dll"), QStringLiteral("QRYVideo.dll"),
          QStringLiteral("QRYVideoAdv.dll"), QStringLiteral("QRYRaw.dll"), QStringLiteral("QRYRawAdv.dll"),
          QStringLiteral("NoPreview.png")})
        QFile::copy(build.filePath(name), h.path(name));
}

// A fresh harness whose only medium is a card image built from `corpusFiles`, with the
// build's resources, started in a window of the size the screenshots use.
inline MyTableController& startOnCard(std::unique_ptr<Harness>& h, const QStringList& corpusFiles) {
    h = std::make_unique<Harness>();
    copyResources(*h);
    h->media = {imageRecord(buildImage(h->path("card.img"), corpusFiles))};
    MyTableController& c = h->start();
    c.window()->resize(1100, 760);
    return c;
}

// One found item as the browser or the carver shows it.
struct ShownItem {
    QString name;
    QString uid;
    quint64 start = 0;
    quint64 end = 0;
    bool operator==(const ShownItem&) const = default;
};

struct ShownGroup {
    QString type;
    QString count;
    QString latest;
    bool operator==(const ShownGroup&) const = default;
};

inline char* toString(const ShownItem& item) {
    return QTest::toString(
        QStringLiteral("%1 %2 [%3, %4)").arg(item.name, item.uid).arg(item.start).arg(item.end));
}

inline char* toString(const ShownGroup& group) {
    return QTest::toString(QStringLiteral("%1 %2 %3").arg(group.type, group.count, group.latest));
}

struct CarverReport {
    QList<ShownItem> items;
    QList<ShownGroup> groups;
    QString status;
};

// What quarry-carve --json reports for the same image and options.
inline CarverReport runCarver(const QStringList& options, const Harness& h, const DiskImage& image) {
    QProcess carver;
    carver.start(QDir(QStringLiteral(QUARRY_TEST_BIN_DIR)).filePath(QStringLiteral("quarry-carve")),
                 options + QStringList{QStringLiteral("--resources"), h.folder.path(),
                                       QStringLiteral("--json"), image.path});
    if (!carver.waitForFinished(60000))
        qFatal("quarry-carve did not finish");
    CarverReport report;
    for (const QByteArray& line : carver.readAllStandardOutput().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value("event") == QStringLiteral("item")) {
            report.items.append({event.value("name").toString(), event.value("uid").toString(),
                                 static_cast<quint64>(event.value("start_sector").toInteger()),
                                 static_cast<quint64>(event.value("end_sector").toInteger())});
        } else if (event.value("event") == QStringLiteral("end")) {
            report.status = event.value("status").toString();
            for (const QJsonValue group : event.value("groups").toArray()) {
                const QJsonObject g = group.toObject();
                report.groups.append({g.value("FileTypes").toString(), g.value("NoOfFile").toString(),
                                      g.value("FileName").toString()});
            }
        }
    }
    return report;
}

// The items of `images`; photo items carry no sectors, so those are compared only for files.
inline QList<ShownItem> shownItems(const MyTableController& c, bool withSectors) {
    QList<ShownItem> items;
    const results::ImagesModel& model = c.images();
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        ShownItem item{index.data(Qt::DisplayRole).toString(),
                       index.data(results::ImagesModel::UidRole).toString()};
        if (withSectors) {
            item.start = index.data(results::ImagesModel::StartSectorRole).toULongLong();
            item.end = index.data(results::ImagesModel::EndSectorRole).toULongLong();
        }
        items.append(item);
    }
    return items;
}

inline QList<ShownItem> withoutSectors(QList<ShownItem> items) {
    for (ShownItem& item : items)
        item.start = item.end = 0;
    return items;
}

// The rows of the found-file group table as drawn.
inline QList<ShownGroup> shownGroups(const MyTableController& c) {
    QList<ShownGroup> groups;
    const QAbstractItemModel* model = c.idSigTableView()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        groups.append({model->index(row, 0).data().toString(), model->index(row, 1).data().toString(),
                       model->index(row, 2).data().toString()});
    }
    return groups;
}

// A source that holds its reader at the first read at or past `gateSector` until released.
class GatedSource final : public carving::SectorSource {
public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool released = false;
        bool closed = false;

        void release() {
            std::lock_guard lock(mutex);
            released = true;
            changed.notify_all();
        }
        bool isReached() {
            std::lock_guard lock(mutex);
            return reached;
        }
        bool isClosed() {
            std::lock_guard lock(mutex);
            return closed;
        }
    };

    GatedSource(std::unique_ptr<carving::SectorSource> inner, std::uint64_t gateSector, Gate& gate)
        : inner_(std::move(inner)), gateSector_(gateSector), gate_(gate) {}
    ~GatedSource() override {
        std::lock_guard lock(gate_.mutex);
        gate_.closed = true;
    }

    std::uint64_t sectorCount() const override { return inner_->sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first + count > gateSector_) {
            std::unique_lock lock(gate_.mutex);
            gate_.reached = true;
            gate_.changed.notify_all();
            gate_.changed.wait(lock, [&] { return gate_.released; });
        }
        return inner_->readSectors(first, count, out);
    }

private:
    std::unique_ptr<carving::SectorSource> inner_;
    std::uint64_t gateSector_;
    Gate& gate_;
};

// Drives the real window: every step is a click on its control.
struct Road {
    Harness& h;

    MyTableController& c() const { return *h.controller; }
    void click(const char* name) const { QTest::mouseClick(h.outlet<QAbstractButton>(name), Qt::LeftButton); }

    void chooseMedium(const char* modeRadio) const {
        click(modeRadio);
        c().idTableView()->selectRow(0);
        click("_next_btn");
    }
    // Waits for the end-of-scan dialog of the scan just started, and for its worker.
    bool waitForEndOfScan(std::size_t dialogsBefore) const {
        const bool shown =
            QTest::qWaitFor([&] { return h.prompter->modalRuns.size() > dialogsBefore; }, 60000);
        return shown && QTest::qWaitFor([&] { return !c().scanBridge().isRunning(); }, 10000);
    }
    // A whole scan of the first medium in the mode of `modeRadio`, with every file type.
    bool scan(const char* modeRadio) const {
        const std::size_t dialogs = h.prompter->modalRuns.size();
        chooseMedium(modeRadio);
        if (std::string_view(modeRadio) != "_rec_mode_Photo")
            click("_next_btn");
        click("_next_btn");
        return waitForEndOfScan(dialogs);
    }
};

} // namespace quarry::app::test
