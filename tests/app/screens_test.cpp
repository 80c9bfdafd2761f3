#include "app/scan_session.h"
#include "app_test_support.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace quarry::app;
using namespace quarry::app::test;

class ScreensTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Harness> h_;

private slots:
    void init() {
        h_ = std::make_unique<Harness>();
        h_->media = {mediaRecord("sdb1", "4096")};
        h_->start();
    }

    void cleanup() { h_.reset(); }

    // Presses of Next (N) and Back (B) from the media screen, with the first medium selected; a
    // control of the screen that shows, and controls of the others.
    void eachStepShowsItsScreen_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<bool>("backEnabled");
        QTest::newRow("photo: range")
            << Mode::Photo << "N"
            << "_Thro_Mode_Chk" << QStringList{"idTableView", "_disk_val_Sig", "_Start_Slider"} << true;
        QTest::newRow("video: range")
            << Mode::Video << "N"
            << "_disk_val_Sig" << QStringList{"idTableView", "_disk_val", "_Start_Slider_Sig"} << true;
        QTest::newRow("video: file types")
            << Mode::Video << "NN"
            << "idCheckTableView" << QStringList{"_disk_val_Sig", "idTableView", "imageBrowser_2"} << true;
        QTest::newRow("raw: back to range")
            << Mode::RawFile << "NNB"
            << "_disk_val_Sig" << QStringList{"idCheckTableView", "idTableView"} << true;
        QTest::newRow("raw: back to media")
            << Mode::RawFile << "NB"
            << "_refresh_btn" << QStringList{"_disk_val_Sig", "_disk_val", "_Search_Type"} << false;
    }

    void eachStepShowsItsScreen() {
        QFETCH(Mode, mode);
        QFETCH(QString, presses);
        QFETCH(QString, shown);
        QFETCH(QStringList, hidden);
        QFETCH(bool, backEnabled);
        MyTableController& c = *h_->controller;
        if (mode == Mode::Video)
            c.Video_Mode_Radio();
        else if (mode == Mode::RawFile)
            c.RawFile_Mode_Radio();
        c.idTableView()->selectRow(0);
        for (const QChar press : presses)
            h_->outlet<QPushButton>(press == 'N' ? "_next_btn" : "_back_btn")->click();
        QVERIFY(h_->prompter->alerts.empty());
        QVERIFY(!h_->outlet(qPrintable(shown))->isHidden());
        for (const QString& name : hidden)
            QVERIFY2(h_->outlet(qPrintable(name))->isHidden(), qPrintable(name));
        QVERIFY(h_->outlet("_next_btn")->isEnabled());
        QCOMPARE(h_->outlet("_back_btn")->isEnabled(), backEnabled);
    }

    void endOfScanStepFromAWorkerWaitsForTheDialogAndRunsOnce() {
        MyTableController& c = *h_->controller;
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

    void endOfScanStepOfVideoAndRawScans() {
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
};

QTEST_MAIN(ScreensTest)
#include "screens_test.moc"
