#include "results/ui/browser_view.h"
#include "results/ui/file_icons.h"
#include "results/ui/images_model.h"
#include "results/ui/thumbnail.h"

#include <QAbstractItemModelTester>
#include <QListView>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace quarry::results;

namespace {

MyImageObject photo(const QString& name) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return MyImageObject(bytes, name, name);
}

MyImageObject file(const QString& name, std::uint64_t start, std::uint64_t end) {
    MyImageObject item(fileTypeIcon(nameExtension(name)), name, " " + name, start, end);
    item.setPath(name);
    return item;
}

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT
private slots:
    void modelServesBothKindsAndAppendsInBatches() {
        ImagesModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

        model.appendItems({photo("GND00001.JPG"), photo("GND00002.JPG"), photo("GND00003.JPG")});
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(0).at(2).toInt(), 2);
        model.appendItems({photo("GND00004.JPG")});
        model.appendItems({});
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(model.rowCount(), 4);

        QCOMPARE(model.index(3).data().toString(), QString("GND00004.JPG"));
        const auto thumbnail = model.index(0).data(Qt::DecorationRole).value<QIcon>();
        QVERIFY(!thumbnail.isNull());
        QCOMPARE(thumbnail.availableSizes().value(0), QSize(40, 30));

        // In video or raw-file mode a photo item has no icon to show.
        int mode = 0;
        model.setRecoveryModeSource([&] { return mode; });
        mode = 2;
        QVERIFY(!model.index(0).data(Qt::DecorationRole).isValid());

        model.clear();
        QCOMPARE(model.rowCount(), 0);
        model.appendItems({file("PDF00001.PDF", 10, 20)});
        const QModelIndex row = model.index(0);
        QVERIFY(!row.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(row.data(ImagesModel::PathRole).toString(), QString("PDF00001.PDF"));
        QCOMPARE(row.data(ImagesModel::UidRole).toString(), QString(" PDF00001.PDF"));
        QCOMPARE(row.data(ImagesModel::StartSectorRole).toULongLong(), 10u);
        QCOMPARE(row.data(ImagesModel::EndSectorRole).toULongLong(), 20u);
        QCOMPARE(model.itemAtIndex(0).image_Name, QString("PDF00001.PDF"));
    }

    void undecodableThumbnailBytesShowNoPicture() {
        ImagesModel model;
        model.appendItems({MyImageObject(QByteArray("not an image"), "GND00001.JPG", "u"),
                           MyImageObject(QByteArray(), "GND00002.JPG", "u")});
        QVERIFY(!model.index(0).data(Qt::DecorationRole).isValid());
        QVERIFY(!model.index(1).data(Qt::DecorationRole).isValid());
        QCOMPARE(model.index(1).data().toString(), QString("GND00002.JPG"));
    }

    void nothingCanBeDraggedOut() {
        ImagesModel model;
        model.appendItems({photo("GND00001.JPG")});
        const QModelIndex row = model.index(0);
        QVERIFY(!(model.flags(row) & Qt::ItemIsDragEnabled));
        QVERIFY(model.flags(row) & Qt::ItemIsSelectable);
        QVERIFY(!(model.flags(row) & Qt::ItemIsEditable));
        QCOMPARE(model.mimeData({row}), nullptr);
        QVERIFY(model.mimeTypes().isEmpty());
        QCOMPARE(model.supportedDragActions(), Qt::IgnoreAction);

        QListView browser;
        configureBrowser(&browser, &model, kPhotoBrowserZoom);
        QVERIFY(!browser.dragEnabled());
        QCOMPARE(browser.dragDropMode(), QAbstractItemView::NoDragDrop);
        QCOMPARE(browser.editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(browser.movement(), QListView::Static);
        // Every item fills its grid cell, whatever the shape of its picture.
        model.appendItems({file("TALL.PDF", 1, 2)});
        QCOMPARE(browser.sizeHintForIndex(model.index(0)), browser.gridSize());
        QCOMPARE(browser.sizeHintForIndex(model.index(1)), browser.gridSize());
    }

    void zoomGrowsTheCellsWithinBounds() {
        const auto photoCells = browserGeometryForZoom(kPhotoBrowserZoom);
        const auto fileCells = browserGeometryForZoom(kFileBrowserZoom);
        QVERIFY(photoCells.iconSize.width() >= kThumbnailMaxSide);
        QVERIFY(fileCells.iconSize.width() >= 16);
        QVERIFY(fileCells.iconSize.width() < photoCells.iconSize.width());
        for (const auto& cells : {photoCells, fileCells}) {
            QVERIFY(cells.gridSize.width() >= cells.iconSize.width());
            QVERIFY(cells.gridSize.height() > cells.iconSize.height());
        }
        QCOMPARE(browserGeometryForZoom(-3).iconSize, browserGeometryForZoom(0).iconSize);
        QCOMPARE(browserGeometryForZoom(7).iconSize, browserGeometryForZoom(1).iconSize);
        QVERIFY(browserGeometryForZoom(0.5).iconSize.width() < browserGeometryForZoom(0.6).iconSize.width());

        QListView browser;
        setZoomValue(&browser, kFileBrowserZoom);
        QCOMPARE(browser.iconSize(), fileCells.iconSize);
        QCOMPARE(browser.gridSize(), fileCells.gridSize);
    }

    // The value after a press on each part, from a value in [0, 1].
    void scrollerStepsByPageAndLine() {
        const struct {
            const char* name;
            double value;
            ScrollerPart part;
            double expected;
        } cases[] = {{"page up", 0.5, ScrollerPart::DecrementPage, 0.3},
                     {"page down", 0.5, ScrollerPart::IncrementPage, 0.7},
                     {"line up", 0.5, ScrollerPart::DecrementLine, 0.45},
                     {"line down", 0.5, ScrollerPart::IncrementLine, 0.55},
                     {"knob", 0.5, ScrollerPart::Knob, 0.5},
                     {"knob slot", 0.5, ScrollerPart::KnobSlot, 0.5},
                     {"none", 0.5, ScrollerPart::NoPart, 0.5},
                     {"page up at the top", 0.1, ScrollerPart::DecrementPage, 0.0},
                     {"line down at the end", 0.98, ScrollerPart::IncrementLine, 1.0}};
        for (const auto& c : cases)
            QVERIFY2(qFuzzyCompare(1.0 + scrollerValueAfter(c.value, c.part), 1.0 + c.expected), c.name);
    }

    void scrollerActionMovesAQtScrollBar() {
        QScrollBar bar;
        bar.setRange(100, 1100);
        bar.setValue(600);
        scrollerAction(&bar, ScrollerPart::IncrementPage);
        QCOMPARE(bar.value(), 800);
        scrollerAction(&bar, ScrollerPart::DecrementLine);
        QCOMPARE(bar.value(), 750);
        bar.setRange(0, 0);
        scrollerAction(&bar, ScrollerPart::IncrementPage);
        QCOMPARE(bar.value(), 0);
    }
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
