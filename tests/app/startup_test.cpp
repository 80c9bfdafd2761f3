#include "app/root_guard.h"
#include "app_test_support.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void onlyTheMediaScreenIsVisible() {
        Harness h;
        h.start();
        QWidget* window = h.controller->window();
        QVERIFY(window->isVisible());
        for (const char* shown : {"idTableView", "_rec_mode_Box", "_next_btn", "_exit_btn", "controlPanel"})
            QVERIFY2(h.outlet(shown)->isVisibleTo(window), shown);
        // A control of each later screen.
        for (const char* hidden :
             {"_entire_disk_rd", "_disk_val_Sig", "_Start_Slider", "imageBrowser", "idCheckTableView",
              "imageBrowser_2", "_stop_scan", "mMovieView", "idSigTableView"})
            QVERIFY2(!h.outlet(hidden)->isVisibleTo(window), hidden);
        QVERIFY(!h.outlet("_back_btn")->isEnabled());
        QVERIFY(h.outlet("_next_btn")->isEnabled());
        QVERIFY(h.outlet<QRadioButton>("_rec_mode_Photo")->isChecked());
    }

    // Missing files are no error: the application starts all the same.
    void placeholderAndDefinitionFilesAreReadWhenPresent() {
        Harness h;
        QVERIFY(!h.start().placeholderImage().has_value());
        QVERIFY(h.controller->signatureLists().Ext_Array.empty());
        QVERIFY(h.prompter->alerts.empty());

        const QByteArray png("\x89PNG\r\n\x1a\nnot really an image", 27);
        writeFile(h.path("NoPreview.png"), png);
        writeFile(h.path("QRYVideo.dll"),
                  "AVI video\nExtension : .avi\nMaximum Size : 18874368\nHeader : 52494646\nPosition : 1\n"
                  "Reserved : 0\nDescription : Audio Video Interleave\n");
        MyTableController& c = h.start();
        QCOMPARE(c.placeholderImage().value_or(QByteArray()), png);
        const quarry::signatures::SignatureList expected = {
            "AVI", "18874368", "52494646", "1", "0", "Audio Video Interleave", "82"};
        QCOMPARE(c.signatureLists().Video_Array, expected);
        QVERIFY(c.signatureLists().Ext_Array.empty());
    }

    void helpAlertsUntilTheDocumentIsThere() {
        Harness h;
        MyTableController& c = h.start();
        h.outlet<QPushButton>("_help_btn")->click();
        QCOMPARE(h.prompter->alerts.size(), 1u);
        QCOMPARE(h.prompter->alerts[0].message, QString("\nHelp file does not exist!"));
        QCOMPARE(h.prompter->alerts[0].buttons, QStringList{"OK"});
        QVERIFY(h.opened.empty());

        writeFile(h.path("Help.pdf"), "%PDF-1.4\n");
        c.Help_btn();
        QCOMPARE(h.prompter->alerts.size(), 1u);
        QCOMPARE(h.opened, std::vector<QUrl>{QUrl::fromLocalFile(h.path("Help.pdf"))});
    }

    void aboutRunsAsASheetOfTheControlPanel() {
        Harness h;
        MyTableController& c = h.start();
        h.outlet<QPushButton>("_about_btn")->click();
        QCOMPARE(h.prompter->modalRuns.size(), 1u);
        const auto& run = h.prompter->modalRuns.front();
        QCOMPARE(run.objectName, QString("About_Window"));
        QCOMPARE(run.parent, c.controlPanel());
        QCOMPARE(run.modality, Qt::WindowModal);
    }

    void rootStartsOnlyWhereItHarmsNoDesktop() {
        const struct {
            const char* name;
            bool root;
            const char* platform;
            const char* wayland;
            const char* x11;
            RootStart verdict;
        } rows[] = {
            {"user on Wayland", false, "", "wayland-0", ":0", RootStart::Fine},
            {"root, Wayland session", true, "", "wayland-0", ":0", RootStart::Refuse},
            {"root, Wayland asked for", true, "wayland-egl", "", "", RootStart::Refuse},
            {"root, X11", true, "", "", ":0", RootStart::Warn},
            {"root, xcb on XWayland", true, "xcb", "wayland-0", ":0", RootStart::Warn},
            {"root, offscreen in a Wayland session", true, "offscreen", "wayland-0", ":0", RootStart::Fine},
            {"root, no display", true, "", "", "", RootStart::Fine}};
        for (const auto& r : rows)
            QVERIFY2(rootStart(r.root, r.platform, r.wayland, r.x11) == r.verdict, r.name);
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
