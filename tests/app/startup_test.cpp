#include "app/root_guard.h"
#include "app_test_support.h"
#include "outlet_names.h"

#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void onlyTheMediaScreenIsVisible();
    void placeholderAndDefinitionFilesAreReadWhenPresent();
    void helpAlertsOncePerPressUntilTheDocumentIsThere();
    void aboutRunsAsASheetOfTheControlPanel();
    void rootStartsOnlyWhereItHarmsNoDesktop_data();
    void rootStartsOnlyWhereItHarmsNoDesktop();
};

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
    QVERIFY(h.controller->window()->isVisible());
}

// Missing files are no error: the application starts all the same.
void StartupTest::placeholderAndDefinitionFilesAreReadWhenPresent() {
    Harness h;
    QVERIFY(!h.start().placeholderImage().has_value());
    QVERIFY(h.controller->signatureLists().Ext_Array.empty());
    QVERIFY(h.controller->signatureLists().Adv_RawFile_Array.empty());
    QVERIFY(h.prompter->alerts.empty());
    QCOMPARE(h.controller->screen_counter(), 0);

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

void StartupTest::helpAlertsOncePerPressUntilTheDocumentIsThere() {
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
    QCOMPARE(c.screen_counter(), 0);

    writeFile(h.path("Help.pdf"), "%PDF-1.4\n");
    c.Help_btn();
    QCOMPARE(h.prompter->alerts.size(), 2u);
    QCOMPARE(h.opened, std::vector<QUrl>{QUrl::fromLocalFile(h.path("Help.pdf"))});
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

void StartupTest::rootStartsOnlyWhereItHarmsNoDesktop_data() {
    QTest::addColumn<bool>("root");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<int>("verdict");
    const auto fine = static_cast<int>(RootStart::Fine);
    const auto warn = static_cast<int>(RootStart::Warn);
    const auto refuse = static_cast<int>(RootStart::Refuse);
    const struct {
        const char* name;
        bool root;
        const char* platform;
        const char* wayland;
        const char* x11;
        int verdict;
    } rows[] = {{"user on Wayland", false, "", "wayland-0", ":0", fine},
                {"root, Wayland session", true, "", "wayland-0", ":0", refuse},
                {"root, Wayland asked for", true, "wayland-egl", "", "", refuse},
                {"root, X11", true, "", "", ":0", warn},
                {"root, xcb on XWayland", true, "xcb", "wayland-0", ":0", warn},
                {"root, offscreen in a Wayland session", true, "offscreen", "wayland-0", ":0", fine},
                {"root, no display", true, "", "", "", fine}};
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.root << QString(r.platform) << QString(r.wayland) << QString(r.x11)
                              << r.verdict;
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
