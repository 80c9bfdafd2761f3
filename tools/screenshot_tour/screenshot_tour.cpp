#include "app/media_window.h"
#include "app/scan_session.h"
#include "results/ui/document_viewer.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/photo_viewer.h"
#include "road_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

using namespace quarry::app;
using namespace quarry::app::test;

// Walks every screen of the wizard and saves a picture of each into QUARRY_SCREENSHOT_DIR
// (a temporary folder when unset), so a person can look at them.
class ScreenshotTour : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void photoRoad();
    void chooseWhatToRecover();
    void rawFileRoad();
    void videoRoad();
    void helpWindow();
    void typeSearchAndProbedImage();

private:
    void shoot(const QString& name, QWidget* widget);
    MyTableController& start(const QStringList& files);
    // Double-clicks the first found item whose name ends with `suffix`.
    void openLarge(QListView* browser, const QString& suffix);

    QTemporaryDir scratch_;
    QString folder_;
    std::unique_ptr<Harness> h_;
};

void ScreenshotTour::initTestCase() {
    folder_ = qEnvironmentVariable("QUARRY_SCREENSHOT_DIR", scratch_.path());
    QDir().mkpath(folder_);
}

void ScreenshotTour::shoot(const QString& name, QWidget* widget) {
    QTest::qWait(100);
    // A movie is drawn straight to the screen, where a widget's own picture does not reach.
    const QPixmap picture = widget->isVisible() && widget->isWindow()
                                ? widget->screen()->grabWindow(widget->winId())
                                : widget->grab();
    QVERIFY2(!picture.isNull() && picture.toImage().pixelColor(0, 0).isValid(), qPrintable(name));
    QVERIFY(picture.save(QDir(folder_).filePath(name + ".png")));
}

MyTableController& ScreenshotTour::start(const QStringList& files) {
    return startOnCard(h_, files);
}

void ScreenshotTour::openLarge(QListView* browser, const QString& suffix) {
    const quarry::results::ImagesModel& items = h_->controller->images();
    for (int row = 0; row < items.numberOfItems(); ++row) {
        if (items.itemAtIndex(row).image_Name.endsWith(suffix, Qt::CaseInsensitive)) {
            activate(browser, h_->controller->foundItemsFilter().mapFromSource(items.index(row)).row());
            return;
        }
    }
    QFAIL(qPrintable("no found item ends with " + suffix));
}

void ScreenshotTour::photoRoad() {
    MyTableController& c = start({"040_Canon_40D.jpg", "061_BlueSquare.jpg", "053_DSCN0010.jpg",
                                  "063_Portrait_6.jpg", "033_atop.gif", "005_goldfish.png"});
    const Road road{*h_};
    shoot("01-media-screen", c.window());
    road.chooseMedium("_rec_mode_Photo");
    shoot("02-scan-range-entire-disk", c.window());
    road.click("_sector_range_rd");
    shoot("03-scan-range-sector-range", c.window());
    road.click("_entire_disk_rd");
    c.setFolderChooser([](QWidget*) { return std::optional<QString>(QDir::homePath()); });
    h_->prompter->onModal = [this](QDialog& dialog) {
        shoot("04-folder-information", &dialog);
    };
    road.click("_browse_path");
    h_->prompter->onModal = [this](QDialog& dialog) {
        shoot("06-end-of-photo-scan-dialog", &dialog);
    };
    road.click("_next_btn");
    QVERIFY(road.waitForEndOfScan(1));
    shoot("05-photo-scan-finished", c.window());
    openLarge(c.imageBrowser(), "00001.JPG");
    QVERIFY(c.photoViewer());
    shoot("12-photo-viewer", c.photoViewer());
    c.photoViewer()->close();
}

// The filter bar with a selection, then the line that says where the selection went.
void ScreenshotTour::chooseWhatToRecover() {
    MyTableController& c = start({"040_Canon_40D.jpg", "061_BlueSquare.jpg", "053_DSCN0010.jpg",
                                  "063_Portrait_6.jpg", "033_atop.gif", "005_goldfish.png"});
    QVERIFY(Road{*h_}.scan("_rec_mode_Photo"));
    h_->outlet<QComboBox>("_filter_type")->setCurrentText("JPG");
    QListView* browser = c.imageBrowser();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier);
    shoot("19-photo-filter-and-selection", c.window());
    h_->outlet<QLineEdit>("_path")->setText(scratch_.filePath("recovered"));
    h_->outlet<QPushButton>("_recover_selected")->click();
    shoot("20-photo-after-recover-selected", c.window());
}

void ScreenshotTour::rawFileRoad() {
    MyTableController& c =
        start({"092_032270.pdf", "071_LibreOfficeWriter_odt_1.3.odt", "066_text_only.doc",
               "121_gen_book.xlsx", "096_textfiles_historicaldates.zip", "104_audio-mpeg1layer3.mp3"});
    const Road road{*h_};
    road.chooseMedium("_rec_mode_RawFile");
    shoot("07-scan-range-raw-file", c.window());
    road.click("_next_btn");
    shoot("08-file-types", c.window());
    h_->prompter->onModal = [this](QDialog& dialog) {
        shoot("10-end-of-file-scan-dialog", &dialog);
    };
    road.click("_next_btn");
    QVERIFY(road.waitForEndOfScan(0));
    QListView* browser = c.imageBrowser_2();
    browser->selectionModel()->select(browser->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QTRY_VERIFY(!c.scanSession().previewSheet());
    shoot("09-file-scan-with-preview", c.window());
    openLarge(browser, ".PDF");
    QTRY_VERIFY(c.documentViewer());
    shoot("13-pdf-viewer", c.documentViewer());
    c.documentViewer()->close();
    openLarge(browser, ".MP3");
    QTRY_VERIFY(c.mediaWindow() && c.mediaWindow()->isVisible());
    QTest::qWait(1500);
    shoot("14-audio-player", c.mediaWindow());
    c.mediaWindow()->close();
}

void ScreenshotTour::videoRoad() {
    MyTableController& c = start({"079_png.mov", "104_audio-mpeg1layer3.mp3", "112_has-tags.m4a"});
    QVERIFY(Road{*h_}.scan("_rec_mode_Video"));
    QListView* browser = c.imageBrowser_2();
    browser->selectionModel()->select(browser->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QTRY_VERIFY(!c.scanSession().previewSheet());
    QTest::qWait(500);
    shoot("11-video-scan-with-movie", c.window());
    openLarge(browser, ".MOV");
    QTRY_VERIFY(c.mediaWindow() && c.mediaWindow()->isVisible());
    QTest::qWait(1500);
    shoot("15-movie-player", c.mediaWindow());
    c.mediaWindow()->close();
}

void ScreenshotTour::helpWindow() {
    MyTableController& c = start({});
    QVERIFY(QFile::copy(QStringLiteral(QUARRY_TEST_RESOURCE_DIR "/Help.pdf"), h_->path("Help.pdf")));
    c.setUrlOpener([](const QUrl&) { return false; });
    c.Help_btn();
    QVERIFY(c.helpWindow());
    QTest::qWait(1500);
    shoot("16-help-window", c.helpWindow());
}

// The grouped type list narrowed by a search, and a disk image whose file system was probed.
void ScreenshotTour::typeSearchAndProbedImage() {
    MyTableController& c = start({"092_032270.pdf"});
    const Road road{*h_};
    road.chooseMedium("_rec_mode_RawFile");
    road.click("_next_btn");
    QTest::keyClicks(c.window()->findChild<QLineEdit*>("_type_search"), "doc");
    c.idCheckTableView()->setFocus();
    shoot("17-file-types-search", c.window());
    road.click("_back_btn");
    road.click("_back_btn");

    const QString mkfs = QStandardPaths::findExecutable("mkfs.vfat", {"/usr/sbin", "/sbin", "/usr/bin"});
    if (mkfs.isEmpty())
        QSKIP("mkfs.vfat is not installed");
    const QString image = h_->path("holiday-card.img");
    QCOMPARE(QProcess::execute(mkfs, {"-C", "-n", "HOLIDAY", image, "4096"}), 0);
    c.openDiskImage(image);
    shoot("18-media-screen-probed-image", c.window());
}

QTEST_MAIN(ScreenshotTour)
#include "screenshot_tour.moc"
