#include "app/scan_session.h"
#include "app/sector_slider.h"
#include "app/texts.h"
#include "app_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

// More sectors than 2^32: a 4 TB disk.
constexpr const char* kBigDisk = "7814037168";
constexpr std::uint64_t kBigDiskSectors = 7814037168;

} // namespace

class RangeTest : public QObject {
    Q_OBJECT
private:
    QString text(const char* name) const {
        if (auto* label = h_->outlet<QLabel>(name))
            return label->text();
        return h_->outlet<QLineEdit>(name)->text();
    }

    void enter(int row = 0) {
        h_->outlet<QTableView>("idTableView")->selectRow(row);
        h_->outlet<QPushButton>("_next_btn")->click();
    }

    std::unique_ptr<Harness> h_;

private slots:
    void init() {
        h_ = std::make_unique<Harness>();
        h_->media = {mediaRecord("disk2s1", kBigDisk), mediaRecord("sdc1", "4096", std::nullopt)};
        h_->start();
    }

    void cleanup() { h_.reset(); }

    void nextWithoutASelectedMediumAlertsAndStays() {
        h_->controller->Next_btn();
        QCOMPARE(h_->prompter->alerts.size(), 1u);
        QCOMPARE(h_->prompter->alerts[0].message, QString("\nPlease select a storage media from list."));
        QCOMPARE(h_->prompter->alerts[0].buttons, QStringList{"OK"});
        QCOMPARE(h_->controller->screen_counter(), 0);
        QVERIFY(!h_->outlet("idTableView")->isHidden());
        QVERIFY(h_->outlet("_searching_criteria_Box")->isHidden());
    }

    // The photo mode fills the photo variant of the screen, the others its "_Sig" twin.
    void enteringFillsTheVariantOfTheMode() {
        enter();
        QCOMPARE(h_->controller->screen_counter(), 1);
        QVERIFY(h_->prompter->alerts.empty());
        QCOMPARE(text("_help_info"), texts::kEntireDiskHelp);
        const std::pair<const char*, QString> texts[] = {
            {"_disk_identifier", "disk2s1"},   {"_sectors_val", kBigDisk},
            {"_disk_val", "disk2s1"},          {"_vol_name_val", "CARD"},
            {"_start_sector_entire_val", "0"}, {"_end_sector_entire_val", kBigDisk},
            {"_Start_Sec_Max_val", kBigDisk},  {"_Start_slider_val", "0"},
            {"_End_slider_val", kBigDisk},     {"_Search_Type", "Search Type : Recover Photo"}};
        for (const auto& [name, expected] : texts)
            QCOMPARE(text(name), expected);
        QCOMPARE(h_->outlet<SectorSlider>("_Start_Slider")->sectorValue(), std::uint64_t{0});
        QCOMPARE(h_->outlet<SectorSlider>("_End_Slider")->sectorMaximum(), kBigDiskSectors);
        QCOMPARE(h_->outlet<SectorSlider>("_End_Slider")->sectorValue(), kBigDiskSectors);
        QVERIFY(h_->outlet<QRadioButton>("_entire_disk_rd")->isChecked());
        // The disk's values show; the range controls wait for their criterion.
        QVERIFY(!h_->outlet("_disk_val")->isHidden());
        QVERIFY(h_->outlet("_Start_Slider")->isHidden());
        QVERIFY(h_->outlet("_disk_val_Sig")->isHidden());

        h_->outlet<QPushButton>("_back_btn")->click();
        h_->outlet<QRadioButton>("_rec_mode_Video")->click();
        enter(1);
        QCOMPARE(text("_disk_val_Sig"), QString("sdc1"));
        QCOMPARE(text("_vol_name_val_Sig"), QString());
        QCOMPARE(text("_End_slider_val_Sig"), QString("4096"));
        QCOMPARE(h_->outlet<SectorSlider>("_End_Slider_Sig")->sectorValue(), std::uint64_t{4096});
        QCOMPARE(text("_disk_val"), QString("<None>"));
        QCOMPARE(text("_Search_Type"), QString("Search Type : Recover Video"));
        QVERIFY(!h_->outlet("_disk_val_Sig")->isHidden());
        QVERIFY(h_->outlet("_disk_val")->isHidden());
    }

    void criterionRadiosSwitchGroupsAndResetTheRange() {
        enter();
        h_->outlet<QRadioButton>("_sector_range_rd")->click();
        QCOMPARE(text("_help_info"), texts::kSectorRangeHelp);
        QVERIFY(h_->outlet("_disk_val")->isHidden());
        QVERIFY(!h_->outlet("_Start_Slider")->isHidden());
        QVERIFY(!h_->outlet("_End_Sec_Box")->isHidden());
        QVERIFY(text("_Sector_Range_Info").endsWith(QString("\nSectors 0 – %1").arg(kBigDisk)));
        QCOMPARE(h_->outlet<QLineEdit>("_End_slider_val")->placeholderText(),
                 QString("0 – %1").arg(kBigDisk));
        h_->outlet<QLineEdit>("_Start_slider_val")->setText("12");
        h_->outlet<QLineEdit>("_End_slider_val")->setText("99");
        // Choosing the range again resets both ends to the whole disk.
        h_->controller->Sector_Range_Radio();
        QCOMPARE(text("_Start_slider_val"), QString("0"));
        QCOMPARE(text("_End_slider_val"), QString(kBigDisk));
        QCOMPARE(text("_End_Sec_Max_val"), QString(kBigDisk));

        h_->outlet<QLineEdit>("_Start_slider_val")->setText("12");
        h_->outlet<QRadioButton>("_entire_disk_rd")->click();
        QCOMPARE(text("_help_info"), texts::kEntireDiskHelp);
        QVERIFY(!h_->outlet("_disk_val")->isHidden());
        QVERIFY(h_->outlet("_Start_Slider")->isHidden());
        QVERIFY(h_->outlet("_Sector_Range_Info")->isHidden());
        QCOMPARE(text("_Start_slider_val"), QString("12"));
    }

    void slidersAndFieldsFollowEachOtherBeyond32Bits() {
        enter();
        h_->controller->Sector_Range_Radio();
        auto* slider = h_->outlet<SectorSlider>("_Start_Slider");
        auto* field = h_->outlet<QLineEdit>("_Start_slider_val");

        // Typing moves the knob, to the exact sector.
        field->clear();
        QTest::keyClicks(field, "3000000000");
        QCOMPARE(slider->sectorValue(), std::uint64_t{3000000000});
        // Above the disk the knob stays; the text is left alone.
        QTest::keyClicks(field, "0");
        QCOMPARE(field->text(), QString("30000000000"));
        QCOMPARE(slider->sectorValue(), std::uint64_t{3000000000});
        field->clear();
        QTest::keyClicks(field, "  42abc");
        QCOMPARE(slider->sectorValue(), std::uint64_t{42});

        // Dragging writes the knob's sector into the field, digit for digit.
        slider->setValue(slider->maximum());
        QCOMPARE(field->text(), QString(kBigDisk));
        slider->setValue(slider->maximum() / 4 * 3);
        QCOMPARE(field->text(), QString::number(slider->sectorValue()));
        QVERIFY(slider->sectorValue() > std::uint64_t{1} << 32);

        auto* endSlider = h_->outlet<SectorSlider>("_End_Slider");
        auto* endField = h_->outlet<QLineEdit>("_End_slider_val");
        endField->clear();
        QTest::keyClicks(endField, "3500000000");
        QCOMPARE(endSlider->sectorValue(), std::uint64_t{3500000000});
        endSlider->setValue(0);
        QCOMPARE(endField->text(), QString("0"));
    }

    void sectorSliderMapsLargeRangesExactly() {
        SectorSlider slider;
        slider.setSectorRange(0, std::numeric_limits<std::uint64_t>::max());
        QCOMPARE(slider.maximum(), 1 << 30);
        slider.setValue(slider.maximum());
        QCOMPARE(slider.sectorValue(), std::numeric_limits<std::uint64_t>::max());
        slider.setValue(0);
        QCOMPARE(slider.sectorValue(), std::uint64_t{0});
        slider.setSectorValue(std::uint64_t{1} << 63);
        QCOMPARE(slider.sectorValue(), std::uint64_t{1} << 63);
        QCOMPARE(slider.value(), 1 << 29);

        // Small media map one step per sector.
        slider.setSectorRange(0, 1000);
        QCOMPARE(slider.sectorValue(), std::uint64_t{1000});
        QCOMPARE(slider.maximum(), 1000);
        QSignalSpy moved(&slider, &SectorSlider::sectorValueMoved);
        slider.setValue(333);
        QCOMPARE(slider.sectorValue(), std::uint64_t{333});
        QCOMPARE(moved.count(), 1);
        slider.setSectorValue(5000);
        QCOMPARE(slider.sectorValue(), std::uint64_t{1000});
        QCOMPARE(moved.count(), 1);
    }

    void validationAtNext_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("informative");
        QTest::addColumn<QString>("focus");
        const struct {
            const char *name, *start, *end, *message, *informative, *focus;
        } rows[] = {
            {"empty start, checked first", "", "", "\nPlease enter valid Start Sector value.", "",
             "_Start_slider_val"},
            {"blanks around both are dropped", " 12 ", "\t20 ", "", "", ""},
            {"end past the disk", "0", "9999999999", "\nMaximum sector range exceeded",
             "Please enter valid End Sector value.", "_End_slider_val"},
            {"beyond 2^32 is fine", "3000000000", "3500000000", "", "", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.start) << QString(r.end) << QString(r.message)
                                  << QString(r.informative) << QString(r.focus);
    }

    void validationAtNext() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(QString, informative);
        QFETCH(QString, focus);
        enter();
        h_->outlet<QRadioButton>("_sector_range_rd")->click();
        h_->outlet<QLineEdit>("_Start_slider_val")->setText(start);
        h_->outlet<QLineEdit>("_End_slider_val")->setText(end);
        h_->outlet<QPushButton>("_help_btn")->setFocus();
        h_->outlet<QPushButton>("_next_btn")->click();

        MyTableController& c = *h_->controller;
        if (message.isEmpty()) {
            QVERIFY(h_->prompter->alerts.empty());
            QCOMPARE(c.screen_counter(), 2);
            QVERIFY(!h_->outlet("imageBrowser")->isHidden());
            QVERIFY(!h_->outlet("_next_btn")->isEnabled());
            return;
        }
        QCOMPARE(h_->prompter->alerts.size(), 1u);
        QCOMPARE(h_->prompter->alerts[0].message, message);
        QCOMPARE(h_->prompter->alerts[0].informativeText, informative);
        QCOMPARE(h_->prompter->alerts[0].buttons, QStringList{"OK"});
        QCOMPARE(c.window()->focusWidget(), h_->outlet(qPrintable(focus)));
        QCOMPARE(c.screen_counter(), 1);
        QCOMPARE(text("_Start_slider_val"), start.trimmed());
        QCOMPARE(text("_End_slider_val"), end.trimmed());
        QVERIFY(!h_->outlet("_Start_Slider")->isHidden());
    }

    void entireDiskSkipsValidation() {
        enter();
        h_->outlet<QLineEdit>("_Start_slider_val")->setText("garbage");
        h_->outlet<QPushButton>("_next_btn")->click();
        QVERIFY(h_->prompter->alerts.empty());
        QCOMPARE(h_->controller->screen_counter(), 2);
        QVERIFY(h_->outlet("_disk_val")->isHidden());
        QVERIFY(h_->outlet("_searching_criteria_Box")->isHidden());
        QCOMPARE(h_->controller->scanSession().control().stop_now.load(), 0);
    }

    void nextInVideoModeBuildsTheFileTypeScreen() {
        writeFile(h_->path("QRYVideo.dll"),
                  "Extension : .avi\nMaximum Size : 1\nHeader : 52494646\nPosition : 1\n"
                  "Reserved : 0\nDescription : AVI\n");
        h_->start();
        h_->controller->Video_Mode_Radio();
        enter();
        h_->outlet<QRadioButton>("_sector_range_rd_Sig")->click();
        h_->outlet<QLineEdit>("_End_slider_val_Sig")->setText("0");
        h_->outlet<QPushButton>("_next_btn")->click();
        QCOMPARE(h_->prompter->alerts.size(), 1u);
        QCOMPARE(h_->controller->window()->focusWidget(), h_->outlet("_End_slider_val_Sig"));

        h_->outlet<QLineEdit>("_End_slider_val_Sig")->setText("100");
        h_->outlet<QPushButton>("_next_btn")->click();
        QCOMPARE(h_->controller->screen_counter(), 2);
        QVERIFY(!h_->outlet("idCheckTableView")->isHidden());
        QVERIFY(h_->outlet("_Start_Slider_Sig")->isHidden());
        QCOMPARE(h_->controller->nsCheckedListDataObject().size(), 1u);
        QCOMPARE(h_->controller->nsCheckedListDataObject()[0].Extension, std::string("AVI"));
        QCOMPARE(text("_help_info"), texts::kFileTypeHelp);
    }

    void backReturnsToTheMediaScreen() {
        h_->controller->RawFile_Mode_Radio();
        enter();
        const int listingsBefore = h_->listings;
        h_->outlet<QPushButton>("_back_btn")->click();
        MyTableController& c = *h_->controller;
        QCOMPARE(c.screen_counter(), 0);
        QCOMPARE(c.mode(), Mode::Photo);
        QVERIFY(h_->outlet<QRadioButton>("_rec_mode_Photo")->isChecked());
        QVERIFY(!h_->outlet<QRadioButton>("_rec_mode_RawFile")->isChecked());
        QCOMPARE(h_->listings, listingsBefore + 1);
        for (const char* name :
             {"_sectors_val", "_disk_identifier", "_disk_val_Sig", "_end_sector_entire_val_Sig"})
            QCOMPARE(text(name), QString("<None>"));
        QCOMPARE(text("_help_info"), texts::kMediaScreenHelp);
    }
};

QTEST_MAIN(RangeTest)
#include "range_test.moc"
