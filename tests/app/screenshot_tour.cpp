#include "road_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>

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

private:
    void shoot(const QString& name, QWidget* widget);
    MyTableController& start(const QStringList& files);

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
    const QPixmap picture = widget->grab();
    QVERIFY2(!picture.isNull() && picture.toImage().pixelColor(0, 0).isValid(), qPrintable(name));
    QVERIFY(picture.save(QDir(folder_).filePath(name + ".png")));
}

MyTableController& ScreenshotTour::start(const QStringList& files) {
    h_ = std::make_unique<Harness>();
    copyResources(*h_);
    const DiskImage image = buildImage(h_->path("card.img"), files);
    h_->media = {imageRecord(image)};
    MyTableController& c = h_->start();
    c.window()->resize(1100, 760);
    return c;
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
}

// The filter bar with a selection, then the line that says where the selection went.
void ScreenshotTour::chooseWhatToRecover() {
    MyTableController& c = start({"040_Canon_40D.jpg", "061_BlueSquare.jpg", "053_DSCN0010.jpg",
                                  "063_Portrait_6.jpg", "033_atop.gif", "005_goldfish.png"});
    const Road road{*h_};
    road.chooseMedium("_rec_mode_Photo");
    road.click("_next_btn");
    QVERIFY(road.waitForEndOfScan(0));
    h_->outlet<QComboBox>("_filter_type")->setCurrentText("JPG");
    QListView* browser = c.imageBrowser();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier);
    shoot("12-photo-filter-and-selection", c.window());
    h_->outlet<QLineEdit>("_path")->setText(scratch_.filePath("recovered"));
    h_->outlet<QPushButton>("_recover_selected")->click();
    shoot("13-photo-after-recover-selected", c.window());
}

void ScreenshotTour::rawFileRoad() {
    MyTableController& c = start({"092_032270.pdf", "071_LibreOfficeWriter_odt_1.3.odt", "066_text_only.doc",
                                  "121_gen_book.xlsx", "096_textfiles_historicaldates.zip"});
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
    shoot("09-file-scan-with-preview", c.window());
}

void ScreenshotTour::videoRoad() {
    MyTableController& c = start({"079_png.mov", "104_audio-mpeg1layer3.mp3", "112_has-tags.m4a"});
    const Road road{*h_};
    road.chooseMedium("_rec_mode_Video");
    road.click("_next_btn");
    road.click("_next_btn");
    QVERIFY(road.waitForEndOfScan(0));
    QListView* browser = c.imageBrowser_2();
    browser->selectionModel()->select(browser->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QTest::qWait(500);
    shoot("11-video-scan-with-movie", c.window());
}

QTEST_MAIN(ScreenshotTour)
#include "screenshot_tour.moc"
