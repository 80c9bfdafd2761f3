#include "app/choose_bar.h"
#include "app/scan_session.h"
#include "app/texts.h"
#include "road_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

const QStringList kPhotos{"040_Canon_40D.jpg", "061_BlueSquare.jpg", "033_atop.gif",
                          "044_Canon_PowerShot_S40.jpg"};
const QStringList kVideos{"079_png.mov", "104_audio-mpeg1layer3.mp3", "112_has-tags.m4a"};
const QStringList kFiles{"092_032270.pdf", "071_LibreOfficeWriter_odt_1.3.odt", "038_right.gif",
                         "066_text_only.doc"};

} // namespace

class WizardRoadTest : public QObject {
    Q_OBJECT
private:
    MyTableController& startWith(const DiskImage& image) {
        h_->media = {imageRecord(image)};
        return h_->start();
    }

    std::unique_ptr<Harness> h_;

private slots:
    void init() {
        h_ = std::make_unique<Harness>();
        copyResources(*h_);
    }

    void cleanup() { h_.reset(); }

    void roadsShowWhatTheCarverFinds_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("sectorRange");
        QTest::newRow("photo") << "_rec_mode_Photo"
                               << "photo" << kPhotos << false;
        QTest::newRow("video") << "_rec_mode_Video"
                               << "video" << kVideos << false;
        QTest::newRow("raw file") << "_rec_mode_RawFile"
                                  << "raw" << kFiles << false;
        QTest::newRow("raw file, sector range") << "_rec_mode_RawFile"
                                                << "raw" << kFiles << true;
    }

    // Photo items carry no sectors; file items are compared with theirs, and so are the groups.
    void roadsShowWhatTheCarverFinds() {
        QFETCH(QString, radio);
        QFETCH(QString, mode);
        QFETCH(QStringList, files);
        QFETCH(bool, sectorRange);
        const bool photo = mode == "photo";
        const DiskImage image = buildImage(h_->path("card.img"), files);
        MyTableController& c = startWith(image);
        const Road road{*h_};

        road.chooseMedium(qPrintable(radio));
        QCOMPARE(c.screen_counter(), 1);
        QStringList options{"--mode", mode};
        const std::uint64_t start = 64;
        const std::uint64_t end = image.sectors / 2;
        if (sectorRange) {
            road.click("_sector_range_rd_Sig");
            for (const auto& [field, sector] :
                 {std::pair{"_Start_slider_val_Sig", start}, {"_End_slider_val_Sig", end}}) {
                h_->outlet<QLineEdit>(field)->selectAll();
                QTest::keyClicks(h_->outlet<QLineEdit>(field), QString::number(sector));
            }
            options << "--start" << QString::number(start) << "--end" << QString::number(end);
        }
        road.click("_next_btn");
        if (!photo) {
            QCOMPARE(c.screen_counter(), 2);
            QVERIFY(!h_->outlet("idCheckTableView")->isHidden());
            QVERIFY(c.nsCheckedListDataObject().size() > 0);
            road.click("_next_btn");
        }
        QCOMPARE(c.screen_counter(), photo ? 2 : 3);
        // Nothing can be pressed away while the scan runs.
        QVERIFY(!h_->outlet("_next_btn")->isEnabled());
        QVERIFY(!h_->outlet("_back_btn")->isEnabled());
        QVERIFY(road.waitForEndOfScan(0));

        const CarverReport carver = runCarver(options, *h_, image);
        QCOMPARE(carver.status, QString("complete"));
        QVERIFY(!carver.items.isEmpty());
        QCOMPARE(shownItems(c, !photo), photo ? withoutSectors(carver.items) : carver.items);
        // The end step ran (the screens test checks what it shows).
        QCOMPARE(h_->prompter->modalRuns.back().objectName,
                 QString(photo ? "SaveFile_Info_Window" : "SaveFile_Info_For_RAW_Window"));
        if (sectorRange) {
            QCOMPARE(c.scanSession().control().start_sector.load(), start);
            QCOMPARE(c.scanSession().control().end_sector.load(), end);
        }
        if (!photo) {
            QCOMPARE(shownGroups(c), carver.groups);
            return;
        }
        QVERIFY(carver.items.size() >= kPhotos.size());
        QVERIFY(!c.scanSession().progress());
        QCOMPARE(c.scanSession().addedItemCount(), static_cast<std::uint64_t>(carver.items.size()));
        // The last progress line was written before the end of the range was reached.
        QVERIFY(h_->outlet<QLabel>("_sector_label")->text().startsWith("Sectors "));
        QCOMPARE(h_->outlet<QLabel>("_scan_status_label")->text(),
                 scanEndText(ScanEnd::Complete, carver.items.size(), 0));
        QVERIFY(h_->outlet("_resume_btn")->isHidden());
        QVERIFY(h_->outlet("_open_folder")->isEnabled());
        // The zoom slider zooms the photo browser only.
        const QSize before = c.imageBrowser()->iconSize();
        h_->outlet<QSlider>("_zoom_slider")->setValue(100);
        QVERIFY(c.imageBrowser()->iconSize().width() > before.width());
    }

    void backAndNextTwiceContinuesTheNumbering() {
        const DiskImage image = buildImage(h_->path("photos.img"), kPhotos);
        MyTableController& c = startWith(image);
        const Road road{*h_};
        QVERIFY(road.scan("_rec_mode_Photo"));
        const QList<ShownItem> first = shownItems(c, false);
        const std::uint64_t general = c.scanSession().photoCounters().GND_Image_number;
        const std::uint64_t thorough = c.scanSession().photoCounters().THD_Image_number;
        QVERIFY(general > 0);

        road.click("_back_btn");
        QCOMPARE(c.screen_counter(), 1);
        QCOMPARE(c.images().rowCount(), 0);
        QCOMPARE(c.scanSession().addedItemCount(), 0u);
        QVERIFY(h_->outlet("_zoom_slider")->isHidden());
        QVERIFY(!h_->outlet("_entire_disk_rd")->isHidden());
        QCOMPARE(h_->outlet<QLabel>("_help_info")->text(), texts::kEntireDiskHelp);

        road.click("_next_btn");
        QVERIFY(road.waitForEndOfScan(1));
        const QList<ShownItem> second = shownItems(c, false);
        QCOMPARE(second.size(), first.size());
        QCOMPARE(c.scanSession().photoCounters().GND_Image_number.load(), 2 * general);
        QCOMPARE(c.scanSession().photoCounters().THD_Image_number.load(), 2 * thorough);
        // The same photos under the same names; their identifiers number on from the first scan.
        for (qsizetype i = 0; i < first.size(); ++i) {
            QCOMPARE(second[i].name, first[i].name);
            const QString prefix = first[i].uid.left(3);
            const std::uint64_t offset = prefix == "GND" ? general : thorough;
            const std::uint64_t number = first[i].uid.mid(3, 5).toULongLong() + offset;
            QCOMPARE(second[i].uid,
                     QString("%1%2%3").arg(prefix).arg(number, 5, 10, QChar('0')).arg(first[i].uid.mid(8)));
        }
    }

    void backFromTheFileScanKeepsTheTicksAndClearsResults() {
        const DiskImage image = buildImage(h_->path("files.img"), kFiles);
        MyTableController& c = startWith(image);
        const Road road{*h_};
        road.chooseMedium("_rec_mode_RawFile");
        road.click("_next_btn");
        // Only PDFs: untick everything, then tick the PDF row.
        road.click("_select_unselect_Chk");
        auto& rows = c.nsCheckedListDataObject();
        const auto pdf = std::find_if(rows.begin(), rows.end(), [](const auto& r) {
            return QString::fromStdString(r.Extension).compare("pdf", Qt::CaseInsensitive) == 0;
        });
        QVERIFY(pdf != rows.end());
        pdf->State = 1;
        road.click("_next_btn");
        QVERIFY(road.waitForEndOfScan(0));
        QCOMPARE(shownItems(c, true),
                 runCarver({"--mode", "raw", "--types", QString::fromStdString(pdf->Extension)}, *h_, image)
                     .items);
        const std::size_t groups = c.nsSIGFileInfoDataObject().size();
        QCOMPARE(groups, 1u);

        road.click("_back_btn");
        QCOMPARE(c.screen_counter(), 2);
        QCOMPARE(c.images().rowCount(), 0);
        QVERIFY(!h_->outlet("idCheckTableView")->isHidden());
        QVERIFY(h_->outlet("imageBrowser_2")->isHidden());
        QCOMPARE(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.State == 1; }), 1);
        QCOMPARE(c.nsSIGFileInfoDataObject().size(), groups);

        road.click("_next_btn");
        QVERIFY(road.waitForEndOfScan(1));
        QVERIFY(c.images().rowCount() > 0);

        // Back to the scan-range screen and on again rebuilds the list with every type ticked.
        road.click("_back_btn");
        road.click("_back_btn");
        QCOMPARE(c.screen_counter(), 1);
        road.click("_next_btn");
        QVERIFY(std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.State == 1; }));
    }

    void fileTypeScreenNeedsOneTypeAndFollowsSelectAll() {
        const DiskImage image = buildImage(h_->path("files.img"), kFiles);
        MyTableController& c = startWith(image);
        const Road road{*h_};
        road.chooseMedium("_rec_mode_Video");
        road.click("_next_btn");
        road.click("_select_unselect_Chk");
        QVERIFY(!h_->outlet<QCheckBox>("_select_unselect_Chk")->isChecked());
        road.click("_next_btn");
        QCOMPARE(c.screen_counter(), 2);
        QCOMPARE(h_->prompter->alerts.size(), 1u);
        QCOMPARE(h_->prompter->alerts[0].message, QString("\nPlease select atleast one extension type."));
        QVERIFY(!c.scanBridge().isRunning());
        road.click("_select_unselect_Chk");
        const auto& rows = c.nsCheckedListDataObject();
        QVERIFY(std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.State == 1; }));
    }

    void stopMidScanKeepsResultsAndClosesTheMedium() {
        const DiskImage image = buildImage(h_->path("photos.img"), kPhotos, 3 << 20);
        MyTableController& c = startWith(image);
        GatedSource::Gate gate;
        // The first megabyte is read freely; the scan then waits until Stop has been pressed.
        const std::uint64_t gateSector = quarry::carving::kDefaultBlockSectors;
        c.setSourceOpener([&](const std::string& path) -> std::unique_ptr<quarry::carving::SectorSource> {
            auto inner = quarry::carving::openFileSource(path);
            return inner ? std::make_unique<GatedSource>(std::move(inner), gateSector, gate) : nullptr;
        });
        const Road road{*h_};
        road.chooseMedium("_rec_mode_Photo");
        road.click("_next_btn");
        QTRY_VERIFY(gate.isReached());
        QVERIFY(!h_->outlet("_stop_scan")->isHidden());
        // The found count and estimate go along; saving waits for the end.
        QTRY_VERIFY(h_->outlet<QLabel>("_scan_status_label")->text().startsWith("Found: "));
        QVERIFY(!h_->outlet("_open_folder")->isEnabled());
        QVERIFY(!h_->outlet("_open_folder_Sig")->isEnabled());
        road.click("_stop_scan");
        QCOMPARE(c.scanSession().control().stop_now.load(), 1);
        gate.release();
        QVERIFY(road.waitForEndOfScan(0));

        QCOMPARE(h_->prompter->modalRuns.size(), 1u);
        QCOMPARE(c.scanSession().control().stop_now.load(), 0);
        QVERIFY(gate.isClosed());
        QVERIFY(h_->outlet("_stop_scan")->isHidden());
        // What was found before the stop stays: the gated sector was read, then the stop was seen.
        const std::uint64_t stoppedAt = gateSector + 1;
        const CarverReport carver = runCarver(
            {"--mode", "photo", "--no-thorough", "--start", "0", "--end", QString::number(stoppedAt)}, *h_,
            image);
        QVERIFY(!carver.items.isEmpty());
        QCOMPARE(shownItems(c, false), withoutSectors(carver.items));
        // The last tick shows where the scan stopped.
        QCOMPARE(h_->outlet<QLabel>("_sector_label")->text(), QString("Sectors %1 of %2   ( Completed %3% )")
                                                                  .arg(stoppedAt)
                                                                  .arg(image.sectors)
                                                                  .arg(stoppedAt * 100 / image.sectors));
        QVERIFY(!h_->outlet("_sector_label")->isHidden());
        const QString stoppedText = h_->outlet<QLabel>("_scan_status_label")->text();
        QCOMPARE(stoppedText, scanEndText(ScanEnd::Stopped, carver.items.size(), stoppedAt));

        // Resume from here: the sector-range screen, from the sector reached to the old end.
        road.click("_resume_btn");
        QCOMPARE(c.screen_counter(), 1);
        QVERIFY(h_->outlet<QRadioButton>("_sector_range_rd")->isChecked());
        auto* startField = h_->outlet<QLineEdit>("_Start_slider_val");
        auto* endField = h_->outlet<QLineEdit>("_End_slider_val");
        QCOMPARE(startField->text(), QString::number(stoppedAt));
        QCOMPARE(endField->text(), QString::number(image.sectors));

        // Zeros only: a scan that finds nothing says so in other words.
        startField->setText("0");
        endField->setText("32");
        road.click("_next_btn");
        QVERIFY(road.waitForEndOfScan(1));
        QCOMPARE(c.images().rowCount(), 0);
        const QString nothingText = h_->outlet<QLabel>("_scan_status_label")->text();
        QCOMPARE(nothingText, scanEndText(ScanEnd::NothingFound, 0, 0));
        QVERIFY(nothingText != stoppedText);
        QVERIFY(nothingText != scanEndText(ScanEnd::Complete, 0, 0));
        QVERIFY(h_->outlet("_resume_btn")->isHidden());
    }

    void unreadableMediumReturnsOneStep_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("scanScreen");
        QTest::newRow("photo") << "_rec_mode_Photo" << 2;
        QTest::newRow("raw file") << "_rec_mode_RawFile" << 3;
    }

    void unreadableMediumReturnsOneStep() {
        QFETCH(QString, radio);
        QFETCH(int, scanScreen);
        DiskImage missing{h_->path("missing.img"), 4096};
        MyTableController& c = startWith(missing);
        const Road road{*h_};
        road.chooseMedium(radio.toLatin1().constData());
        road.click("_next_btn");
        if (scanScreen == 3)
            road.click("_next_btn");
        QTRY_COMPARE(h_->prompter->alerts.size(), 1u);
        QCOMPARE(h_->prompter->alerts[0].message, texts::kMediumUnreadable);
        QCOMPARE(h_->prompter->alerts[0].buttons, QStringList{"OK"});
        QCOMPARE(c.screen_counter(), scanScreen - 1);
        QTRY_VERIFY(!c.scanBridge().isRunning());
        QVERIFY(h_->prompter->modalRuns.empty());
        QVERIFY(h_->outlet("_next_btn")->isEnabled());
        QVERIFY(h_->outlet("_back_btn")->isEnabled());
        QVERIFY(h_->outlet("_stop_scan")->isHidden());
        QVERIFY(h_->outlet("_open_folder")->isHidden());
        QCOMPARE(c.scanSession().control().stop_now.load(), 0);
        QCOMPARE(c.scanSession().addedItemCount(), 0u);
        QVERIFY(!c.scanSession().progress());
        if (scanScreen == 2)
            QVERIFY(!h_->outlet("_entire_disk_rd")->isHidden());
        else
            QVERIFY(!h_->outlet("idCheckTableView")->isHidden());
    }
};

QTEST_MAIN(WizardRoadTest)
#include "wizard_road_test.moc"
