#include "app/scan_session.h"
#include "app_test_support.h"
#include "outlet_names.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

// Names of the outlets whose hidden flag differs between two snapshots.
QStringList changed(const QMap<QString, bool>& before, const QMap<QString, bool>& after) {
    QStringList names;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (after.value(it.key()) != it.value())
            names << it.key();
    }
    names.sort();
    return names;
}

QStringList sorted(QStringList names) {
    names.removeDuplicates();
    names.sort();
    return names;
}

class ClosingSource final : public quarry::carving::SectorSource {
public:
    explicit ClosingSource(bool& closed) : closed_(closed) {}
    ~ClosingSource() override { closed_ = true; }
    std::uint64_t sectorCount() const override { return 0; }
    bool readSectors(std::uint64_t, std::size_t, std::uint8_t*) override { return false; }

private:
    bool& closed_;
};

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void groupsToggleExactlyTheirMembers_data();
    void groupsToggleExactlyTheirMembers();
    void scanScreensDisableNextAndBack();
    void endOfScanStepFromAWorkerWaitsForTheDialogAndRunsOnce();
    void endOfScanStepOfVideoAndRawScans();

private:
    QMap<QString, bool> hiddenFlags() const;

    std::unique_ptr<Harness> h_;
};

void ScreensTest::init() {
    h_ = std::make_unique<Harness>();
    h_->start();
}

void ScreensTest::cleanup() {
    h_.reset();
}

QMap<QString, bool> ScreensTest::hiddenFlags() const {
    QMap<QString, bool> flags;
    for (const QString& name : outlets::all())
        flags[name] = h_->controller->window()->findChild<QWidget*>(name)->isHidden();
    return flags;
}

void ScreensTest::groupsToggleExactlyTheirMembers_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("sectorRange");
    QTest::addColumn<QStringList>("members");
    using namespace outlets;
    QTest::newRow("media") << 1 << 0 << false << kMediaScreen;
    QTest::newRow("range, photo, entire disk") << 2 << 0 << false << kEntireDisk + kRangeFramePhoto;
    QTest::newRow("range, photo, sector range") << 2 << 0 << true << kSectorRange + kRangeFramePhoto;
    QTest::newRow("range, video, entire disk")
        << 2 << 1 << false << suffixed(kEntireDisk + kRangeFrameSig, "_Sig");
    QTest::newRow("range, raw, sector range")
        << 2 << 2 << true << suffixed(kSectorRange + kRangeFrameSig, "_Sig");
    QTest::newRow("photo scan") << 3 << 0 << false << kPhotoScan;
    QTest::newRow("file types") << 4 << 1 << false << kFileTypeScreen;
    QTest::newRow("scan, photo mode") << 5 << 0 << false << kRawScan;
    QTest::newRow("scan, video") << 5 << 1 << false << kRawScan + QStringList{"mMovieView"};
    QTest::newRow("scan, raw file") << 5 << 2 << false << kRawScan + QStringList{"_QuickLook_View"};
}

void ScreensTest::groupsToggleExactlyTheirMembers() {
    QFETCH(int, group);
    QFETCH(int, mode);
    QFETCH(bool, sectorRange);
    QFETCH(QStringList, members);
    MyTableController& c = *h_->controller;
    Recovery_MODE = mode;
    const QString suffix = mode == 0 ? "" : "_Sig";
    h_->outlet<QRadioButton>(qPrintable((sectorRange ? "_sector_range_rd" : "_entire_disk_rd") + suffix))
        ->setChecked(true);

    const auto toggle = [&](bool hide) {
        switch (group) {
        case 1:
            return c.show_hide_1_screen(hide);
        case 2:
            return c.show_hide_2_screen(hide);
        case 3:
            return c.show_hide_3_screen_Photo(hide);
        case 4:
            return c.show_hide_3_screen_RawFile(hide);
        default:
            return c.show_hide_4_screen_RawFile(hide);
        }
    };
    // The media screen starts shown, every other group hidden.
    const bool startsShown = group == 1;
    const QMap<QString, bool> before = hiddenFlags();
    toggle(startsShown);
    const QMap<QString, bool> toggled = hiddenFlags();
    QCOMPARE(changed(before, toggled), sorted(members));
    for (const QString& name : members)
        QCOMPARE(toggled[name], startsShown);
    toggle(!startsShown);
    QCOMPARE(changed(before, hiddenFlags()), QStringList());
}

void ScreensTest::scanScreensDisableNextAndBack() {
    MyTableController& c = *h_->controller;
    auto* next = h_->outlet<QPushButton>("_next_btn");
    auto* back = h_->outlet<QPushButton>("_back_btn");
    back->setEnabled(true);
    c.show_hide_3_screen_Photo(false);
    QVERIFY(!next->isEnabled() && !back->isEnabled());
    c.show_hide_3_screen_Photo(true);
    QVERIFY(next->isEnabled() && back->isEnabled());
    c.show_hide_4_screen_RawFile(false);
    QVERIFY(!next->isEnabled() && !back->isEnabled());
    c.show_hide_4_screen_RawFile(true);
    QVERIFY(next->isEnabled() && back->isEnabled());
    // Neither the media nor the range nor the file-type group touches the buttons.
    back->setEnabled(false);
    c.show_hide_1_screen(true);
    c.show_hide_2_screen(false);
    c.show_hide_3_screen_RawFile(false);
    QVERIFY(next->isEnabled() && !back->isEnabled());
}

void ScreensTest::endOfScanStepFromAWorkerWaitsForTheDialogAndRunsOnce() {
    MyTableController& c = *h_->controller;
    bool deviceClosed = false;
    c.pFile_Disk = std::make_unique<ClosingSource>(deviceClosed);
    c.show_hide_3_screen_Photo(false);
    c.armEndOfScanStep();

    std::atomic<bool> workerReturned{false};
    bool returnedDuringDialog = true;
    int stopDuringDialog = -1;
    h_->prompter->onModal = [&](QDialog&) {
        returnedDuringDialog = workerReturned;
        stopDuringDialog = c.scanSession().control().stop_now;
    };
    std::thread worker([&] {
        c.Final_or_Stop_Screen();
        workerReturned = true;
    });
    QTRY_VERIFY(workerReturned);
    worker.join();

    QCOMPARE(h_->prompter->modalRuns.size(), 1u);
    QCOMPARE(h_->prompter->modalRuns[0].objectName, QString("SaveFile_Info_Window"));
    QVERIFY(h_->prompter->modalRuns[0].onGuiThread);
    QVERIFY(!returnedDuringDialog);
    QCOMPARE(stopDuringDialog, 1);
    QCOMPARE(c.scanSession().control().stop_now.load(), 0);
    QVERIFY(deviceClosed);
    QVERIFY(!c.pFile_Disk);
    QCOMPARE(h_->outlet<QLabel>("_help_info")->text(),
             QString::fromUtf8("\nTo select another disk for recovery, click on ‘Back’ Button."));
    for (const char* hidden :
         {"_ClearThumbnail_Label", "_Mode_label", "_Progress_Horz", "_sector_label", "_stop_scan"})
        QVERIFY2(h_->outlet(hidden)->isHidden(), hidden);
    for (const char* shown : {"_zoom_label", "_zoom_slider", "_open_folder"})
        QVERIFY2(!h_->outlet(shown)->isHidden(), shown);
    QVERIFY(h_->outlet("_back_btn")->isEnabled());
    QVERIFY(!h_->outlet("_next_btn")->isEnabled());
    QVERIFY(h_->outlet("_browse_path")->isEnabled());
    QVERIFY(h_->outlet("_Thro_Mode_Chk")->isEnabled());

    // A second call for the same scan, from the engine or the preview, changes nothing.
    std::thread again([&] { c.Final_or_Stop_Screen(); });
    again.join();
    c.Final_or_Stop_Screen();
    QCOMPARE(h_->prompter->modalRuns.size(), 1u);

    // The next scan has its own end.
    c.armEndOfScanStep();
    c.Final_or_Stop_Screen();
    QCOMPARE(h_->prompter->modalRuns.size(), 2u);
}

void ScreensTest::endOfScanStepOfVideoAndRawScans() {
    MyTableController& c = *h_->controller;
    c.Video_Mode_Radio();
    c.show_hide_4_screen_RawFile(false);
    h_->outlet("_zoom_label")->show();
    c.armEndOfScanStep();
    c.Final_or_Stop_Screen();
    QCOMPARE(h_->prompter->modalRuns.size(), 1u);
    QCOMPARE(h_->prompter->modalRuns[0].objectName, QString("SaveFile_Info_For_RAW_Window"));
    QVERIFY(h_->outlet("_zoom_label")->isHidden());
    QVERIFY(h_->outlet("_zoom_slider")->isHidden());
    QVERIFY(h_->outlet("_open_folder")->isHidden());
    QVERIFY(!h_->outlet("_open_folder_Sig")->isHidden());
    QVERIFY(h_->outlet("_back_btn")->isEnabled());
}

QTEST_MAIN(ScreensTest)
#include "screens_test.moc"
