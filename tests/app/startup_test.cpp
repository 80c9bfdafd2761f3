#include "app/root_guard.h"
#include "app_test_support.h"
#include "outlet_names.h"

#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void everyOutletExistsByName();
    void onlyTheMediaScreenIsVisible();
    void firstTextsAreSet();
    void missingPlaceholderAndDefinitionFilesStartNormally();
    void placeholderAndDefinitionFilesAreRead();
    void mediaListIsBuiltBeforeSignaturesAreLoaded();
    void helpAlertsOncePerPressWhenTheDocumentIsMissing();
    void helpOpensTheDocumentWhenPresent();
    void aboutRunsAsASheetOfTheControlPanel();
    void dialogsHaveTheirWindowsAndButtons();
    void rootStartsOnlyWhereItHarmsNoDesktop_data();
    void rootStartsOnlyWhereItHarmsNoDesktop();
};

void StartupTest::everyOutletExistsByName() {
    Harness h;
    h.start();
    for (const QString& name : outlets::all())
        QVERIFY2(h.controller->window()->findChild<QWidget*>(name), qPrintable(name));
    QCOMPARE(h.controller->window()->objectName(), QString("window"));
    QVERIFY(h.controller->window()->findChild<QObject*>("imageBrowser")->inherits("QListView"));
    QVERIFY(h.outlet("mMovieView")->parentWidget() == h.outlet("_QuickLook_View_Box"));
    QVERIFY(h.outlet("_QuickLook_View")->parentWidget() == h.outlet("_QuickLook_View_Box"));
    QVERIFY(h.outlet("idTableView")->parentWidget() == h.outlet("idtablesclview"));
    QVERIFY(h.outlet("idCheckTableView")->parentWidget() == h.outlet("idChecktablesclview"));
    QVERIFY(h.outlet("idSigTableView")->parentWidget() == h.outlet("idSigtablesclview"));
    QVERIFY(h.outlet("idImagesclview_2")->isAncestorOf(h.outlet("imageBrowser_2")));
}

void StartupTest::onlyTheMediaScreenIsVisible() {
    Harness h;
    h.start();
    const QStringList visible =
        outlets::kEveryScreen + outlets::kMediaScreen + QStringList{"controlPanel", "_exit_btn"};
    for (const QString& name : outlets::all()) {
        QWidget* w = h.controller->window()->findChild<QWidget*>(name);
        QVERIFY2(w->isVisibleTo(h.controller->window()) == visible.contains(name), qPrintable(name));
    }
    QVERIFY(!h.outlet<QPushButton>("_back_btn")->isEnabled());
    QVERIFY(h.outlet<QPushButton>("_next_btn")->isEnabled());
    QVERIFY(h.outlet<QRadioButton>("_rec_mode_Photo")->isChecked());
    QVERIFY(!h.outlet<QRadioButton>("_rec_mode_Video")->isChecked());
    QVERIFY(!h.outlet<QRadioButton>("_rec_mode_RawFile")->isChecked());
    QVERIFY(h.controller->window()->isVisible());
}

void StartupTest::firstTextsAreSet() {
    Harness h;
    h.start();
    QCOMPARE(
        h.outlet<QLabel>("_help_info")->text(),
        QString::fromUtf8("\nSelect the storage media from List from which you want to recover Data. Press "
                          "‘Next’ button to continue... "));
    QCOMPARE(h.outlet<QLabel>("_sector_label")->text(), QString("Sectors 0 of 0"));
    QVERIFY(h.outlet<QCheckBox>("_Thro_Mode_Chk")->isChecked());
    QCOMPARE(h.outlet<QProgressBar>("_Progress_Horz")->value(), 0);
    const char* captions[][2] = {{"_disk", "Disk\t\t\t\t:"},
                                 {"_vol_name", "Volume Name\t:"},
                                 {"_file_system", "File System\t\t:"},
                                 {"_size", "Capacity (size)\t:"},
                                 {"_start_sector_entire", "Start Sector\t\t:"},
                                 {"_end_sector_entire", "End Sector\t\t:"}};
    for (const auto& [name, text] : captions) {
        QCOMPARE(h.outlet<QLabel>(name)->text(), QString(text));
        QCOMPARE(h.outlet<QLabel>((std::string(name) + "_Sig").c_str())->text(), QString(text));
    }
    const QColor background = h.controller->window()->palette().color(QPalette::Window);
    QCOMPARE(background, QColor(241, 244, 250));
}

void StartupTest::missingPlaceholderAndDefinitionFilesStartNormally() {
    Harness h;
    MyTableController& c = h.start();
    QVERIFY(!c.placeholderImage().has_value());
    QVERIFY(c.signatureLists.Ext_Array.empty());
    QVERIFY(c.signatureLists.Adv_RawFile_Array.empty());
    QVERIFY(h.prompter->alerts.empty());
    QCOMPARE(c.screen_counter, 0);
}

void StartupTest::placeholderAndDefinitionFilesAreRead() {
    Harness h;
    const QByteArray png("\x89PNG\r\n\x1a\nnot really an image", 27);
    writeFile(h.path("NoPreview.png"), png);
    writeFile(h.path("QRYVideo.dll"),
              "AVI video\nExtension : .avi\nMaximum Size : 18874368\nHeader : 52494646\nPosition : 1\n"
              "Reserved : 0\nDescription : Audio Video Interleave\n");
    MyTableController& c = h.start();
    QVERIFY(c.placeholderImage().has_value());
    QCOMPARE(*c.placeholderImage(), png);
    const quarry::signatures::SignatureList expected = {
        "AVI", "18874368", "52494646", "1", "0", "Audio Video Interleave", "82"};
    QCOMPARE(c.signatureLists.Video_Array, expected);
    QVERIFY(c.signatureLists.Ext_Array.empty());
}

void StartupTest::mediaListIsBuiltBeforeSignaturesAreLoaded() {
    Harness h;
    writeFile(h.path("QRYExt2.dll"),
              "Extension : .jpg\nMaximum Size : 1000\nHeader : ffd8ff\nPosition : 1\nReserved : 0\n"
              "Description : JPEG\n");
    h.media = {mediaRecord("sdb1", "2048")};
    bool signaturesLoadedFirst = true;
    h.controller = std::make_unique<MyTableController>(h.folder.path().toStdString(), h.prompter);
    MyTableController& c = *h.controller;
    c.setMediaLister([&] {
        signaturesLoadedFirst = !c.signatureLists.Ext_Array.empty();
        return h.media;
    });
    c.awakeFromNib();
    QVERIFY(!signaturesLoadedFirst);
    QCOMPARE(c.nsMutaryOfDataObject().size(), 1u);
    QCOMPARE(c.signatureLists.Ext_Array.size(), 7u);
}

void StartupTest::helpAlertsOncePerPressWhenTheDocumentIsMissing() {
    Harness h;
    MyTableController& c = h.start();
    h.outlet<QPushButton>("_help_btn")->click();
    QCOMPARE(h.prompter->alerts.size(), 1u);
    c.Help_btn();
    QCOMPARE(h.prompter->alerts.size(), 2u);
    for (const Alert& a : h.prompter->alerts) {
        QCOMPARE(a.message, QString("\nHelp file does not exist!"));
        QCOMPARE(a.informativeText, QString());
        QCOMPARE(a.buttons, QStringList{"OK"});
    }
    QVERIFY(h.opened.empty());
    QCOMPARE(c.screen_counter, 0);
}

void StartupTest::helpOpensTheDocumentWhenPresent() {
    Harness h;
    writeFile(h.path("Help.pdf"), "%PDF-1.4\n");
    MyTableController& c = h.start();
    c.Help_btn();
    QVERIFY(h.prompter->alerts.empty());
    QCOMPARE(h.opened.size(), 1u);
    QCOMPARE(h.opened.front(), QUrl::fromLocalFile(h.path("Help.pdf")));
}

void StartupTest::aboutRunsAsASheetOfTheControlPanel() {
    Harness h;
    MyTableController& c = h.start();
    bool shownOverPanel = false;
    h.prompter->onModal = [&](QDialog& dialog) {
        shownOverPanel = dialog.window()->parentWidget() == c.controlPanel();
    };
    h.outlet<QPushButton>("_about_btn")->click();
    QCOMPARE(h.prompter->modalRuns.size(), 1u);
    const auto& run = h.prompter->modalRuns.front();
    QCOMPARE(run.objectName, QString("About_Window"));
    QCOMPARE(run.parent, c.controlPanel());
    QCOMPARE(run.modality, Qt::WindowModal);
    QVERIFY(shownOverPanel);
}

void StartupTest::dialogsHaveTheirWindowsAndButtons() {
    Harness h;
    MyTableController& c = h.start();
    const struct {
        const char* window;
        const char* button;
        bool sheet;
    } dialogs[] = {{"LoadDisk_Window", nullptr, true},
                   {"BrowseInfo_Window", "Continue_Btn", true},
                   {"ClearPreview_Window", nullptr, true},
                   {"SaveFile_Info_Window", "OK_Btn", false},
                   {"SaveFile_Info_For_RAW_Window", "OK_Btn", false}};
    for (const auto& d : dialogs) {
        auto* dialog = c.window()->findChild<QDialog*>(d.window);
        QVERIFY2(dialog, d.window);
        QCOMPARE(dialog->palette().color(QPalette::Window), QColor(241, 244, 250));
        QCOMPARE(dialog->parentWidget() == c.controlPanel(), d.sheet);
        QCOMPARE(dialog->windowModality() == Qt::WindowModal, d.sheet);
        if (!d.button)
            continue;
        // The button ends the modal run with code 1.
        dialog->open();
        dialog->findChild<QPushButton*>(d.button)->click();
        QCOMPARE(dialog->result(), 1);
        QVERIFY(!dialog->isVisible());
    }
}

void StartupTest::rootStartsOnlyWhereItHarmsNoDesktop_data() {
    QTest::addColumn<bool>("root");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<int>("verdict");
    const auto fine = static_cast<int>(RootStart::Fine);
    const auto warn = static_cast<int>(RootStart::Warn);
    const auto refuse = static_cast<int>(RootStart::Refuse);
    QTest::newRow("user on Wayland") << false << ""
                                     << "wayland-0"
                                     << ":0" << fine;
    QTest::newRow("root, Wayland session") << true << ""
                                           << "wayland-0"
                                           << ":0" << refuse;
    QTest::newRow("root, Wayland asked for") << true << "wayland-egl"
                                             << ""
                                             << "" << refuse;
    QTest::newRow("root, X11") << true << ""
                               << ""
                               << ":0" << warn;
    QTest::newRow("root, xcb on XWayland") << true << "xcb"
                                           << "wayland-0"
                                           << ":0" << warn;
    QTest::newRow("root, offscreen in a Wayland session") << true << "offscreen"
                                                          << "wayland-0"
                                                          << ":0" << fine;
    QTest::newRow("root, no display") << true << ""
                                      << ""
                                      << "" << fine;
}

void StartupTest::rootStartsOnlyWhereItHarmsNoDesktop() {
    QFETCH(bool, root);
    QFETCH(QString, platform);
    QFETCH(QString, wayland);
    QFETCH(QString, x11);
    QFETCH(int, verdict);
    QCOMPARE(
        static_cast<int>(rootStart(root, platform.toStdString(), wayland.toStdString(), x11.toStdString())),
        verdict);
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
