#include "road_support.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSortFilterProxyModel>
#include <QStandardPaths>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

// The mnemonic letters of the buttons on screen; a button without one is an error.
QString mnemonicsShown(const QWidget& window) {
    QString letters;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&window) || button->text().isEmpty())
            continue;
        const qsizetype at = button->text().indexOf(u'&');
        if (at < 0 || at + 1 >= button->text().size())
            return QStringLiteral("none on ") + button->objectName();
        letters += button->text().at(at + 1).toLower();
    }
    return letters;
}

} // namespace

class KeysTest : public QObject {
    Q_OBJECT
private:
    MyTableController& start(std::uint64_t sectors = 2048) {
        h_->media = {mediaRecord("sdb1", std::to_string(sectors))};
        return h_->start();
    }

    QString text(const char* field) const { return h_->outlet<QLineEdit>(field)->text(); }
    std::unique_ptr<Harness> h_;

private slots:
    void init() {
        h_ = std::make_unique<Harness>();
        copyResources(*h_);
    }

    void cleanup() { h_.reset(); }

    // A photo scan's folder stays chosen after Back; a raw scan on the next medium, whose screen
    // shows no folder, must not save into it.
    void aScanNeverSavesIntoAFolderTheScreenDoesNotShow() {
        const DiskImage image = buildImage(h_->path("files.img"), {"092_032270.pdf"});
        h_->media = {imageRecord(image)};
        MyTableController& c = h_->start();
        QTemporaryDir photoFolder;
        c.setFolderChooser([&](QWidget*) { return std::optional<QString>(photoFolder.path()); });
        const Road road{*h_};
        road.chooseMedium("_rec_mode_Photo");
        road.click("_browse_path");
        QCOMPARE(text("_path"), photoFolder.path());
        QCOMPARE(text("_path_Sig"), photoFolder.path());
        // Cancelling the chooser keeps the path.
        c.setFolderChooser([](QWidget*) { return std::optional<QString>(); });
        c.Browse_Path_Sig();
        QCOMPARE(text("_path"), photoFolder.path());
        road.click("_back_btn");

        road.chooseMedium("_rec_mode_RawFile");
        QCOMPARE(text("_path_Sig"), QString());
        QCOMPARE(text("_path"), QString());
        road.click("_next_btn");
        const std::size_t dialogs = h_->prompter->modalRuns.size();
        road.click("_next_btn");
        QVERIFY(road.waitForEndOfScan(dialogs));
        QVERIFY(c.images().rowCount() > 0);
        QVERIFY(QDir(photoFolder.path()).isEmpty());
    }

    void keyboardWalksTheWizard() {
        MyTableController& c = start();
        QWidget* window = c.window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* next = h_->outlet<QPushButton>("_next_btn");

        // Tab leaves a table at once and reaches Next from the first control.
        c.idTableView()->setFocus();
        QTest::keyClick(c.idTableView(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != c.idTableView());
        for (int i = 0; i < 30 && QApplication::focusWidget() != next; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);

        const struct {
            const char* screen;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            std::int32_t screenAfter;
        } steps[] = {
            {"media", Qt::Key_N, Qt::AltModifier, 1},     {"range", Qt::Key_B, Qt::AltModifier, 0},
            {"media", Qt::Key_Escape, Qt::NoModifier, 0}, // Back is disabled there
            {"media", Qt::Key_Return, Qt::NoModifier, 1}, {"range", Qt::Key_Escape, Qt::NoModifier, 0},
        };
        for (const auto& step : steps) {
            const std::int32_t before = c.screen_counter();
            // The media list's loading sheet takes the activation away for a moment, and on a busy
            // machine that can land after the window was seen active: a key that reached no active
            // window changed nothing, so it is pressed again.
            for (int attempt = 0; attempt < 3 && c.screen_counter() == before; ++attempt) {
                window->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(window));
                c.idTableView()->selectRow(0);
                const QString letters = mnemonicsShown(*window);
                QVERIFY2(!letters.startsWith("none"), qPrintable(letters));
                QCOMPARE(QSet<QChar>(letters.begin(), letters.end()).size(), letters.size());
                QTest::keyClick(window, step.key, step.modifiers);
                // A mnemonic presses its button for a moment before it clicks.
                if (QTest::qWaitFor([&] { return c.screen_counter() == step.screenAfter; }, 2000))
                    break;
            }
            QVERIFY2(c.screen_counter() == step.screenAfter, step.screen);
            // Back reloads the media list behind a sheet; its focus and activation events follow.
            QTest::qWait(50);
        }
    }

    void spaceTicksAndSearchNarrowsTheGroupedTypeList() {
        MyTableController& c = start();
        const Road road{*h_};
        road.chooseMedium("_rec_mode_RawFile");
        road.click("_next_btn");
        QTableView* list = c.idCheckTableView();
        const auto* shown = qobject_cast<const QSortFilterProxyModel*>(list->model());
        QVERIFY(shown);
        const int total = shown->rowCount();
        QVERIFY(total > 10);
        const auto rowOf = [&](int row) -> const quarry::signatures::CheckListRow& {
            return c.nsCheckedListDataObject()[static_cast<std::size_t>(
                shown->mapToSource(shown->index(row, 0)).row())];
        };
        QStringList categories;
        for (int row = 0; row < total; ++row) {
            const QString category = QString::fromStdString(rowOf(row).Category);
            if (categories.isEmpty() || categories.constLast() != category) {
                QVERIFY2(!categories.contains(category), qPrintable(category));
                categories.append(category);
            }
        }
        QVERIFY(categories.size() > 1);

        // The list opens at its top, also after it was scrolled.
        list->scrollToBottom();
        road.click("_back_btn");
        road.click("_next_btn");
        QCOMPARE(list->verticalScrollBar()->value(), 0);

        list->setFocus();
        auto* selectAll = h_->outlet<QCheckBox>("_select_unselect_Chk");
        for (const int state : {0, 1}) {
            QTest::keyClick(list, Qt::Key_Space);
            QCOMPARE(rowOf(0).State, state);
            QCOMPARE(selectAll->isChecked(), state == 1);
        }

        auto* search = c.window()->findChild<QLineEdit*>("_type_search");
        QTest::keyClicks(search, "pdf");
        QVERIFY(shown->rowCount() > 0 && shown->rowCount() < total);
        for (int row = 0; row < shown->rowCount(); ++row) {
            const auto& type = rowOf(row);
            QVERIFY(QString::fromStdString(type.Extension + type.Description + type.Category)
                        .contains("pdf", Qt::CaseInsensitive));
        }
        search->clear();
        QCOMPARE(shown->rowCount(), total);
    }

    void settingsSurviveARestart() {
        MyTableController& c = start();
        const QString image = h_->path("card.img");
        writeFile(image, QByteArray(8 * 512, '\0'));
        c.setDiskImageChooser([&](QWidget*) { return std::optional<QString>(image); });
        QTemporaryDir destination;
        c.setFolderChooser([&](QWidget*) { return std::optional<QString>(destination.path()); });
        const Road road{*h_};
        road.click("_open_image_btn");
        c.window()->resize(1000, 760);
        h_->outlet<QSlider>("_zoom_slider")->setValue(80);
        road.chooseMedium("_rec_mode_Video");
        road.click("_browse_path_Sig");
        road.click("_next_btn");
        h_->outlet<QCheckBox>("_Thro_Mode_Chk_SIG")->click();
        const std::size_t dialogs = h_->prompter->modalRuns.size();

        h_->controller.reset();
        MyTableController& again = h_->start();
        QVERIFY(h_->outlet<QRadioButton>("_rec_mode_Video")->isChecked());
        QCOMPARE(again.mode(), Mode::Video);
        QVERIFY(!h_->outlet<QCheckBox>("_Thro_Mode_Chk")->isChecked());
        QCOMPARE(h_->outlet<QSlider>("_zoom_slider")->value(), 80);
        QCOMPARE(again.window()->size(), QSize(1000, 760));
        auto* recent = h_->outlet<QPushButton>("_recent_images_btn");
        QVERIFY(recent->isEnabled());
        QCOMPARE(recent->menu()->actions().size(), 1);
        QCOMPARE(recent->menu()->actions()[0]->text(), QString("card.img"));
        recent->menu()->actions()[0]->trigger();
        QCOMPARE(again.nsMutaryOfDataObject().back().sourcePath,
                 QFileInfo(image).absoluteFilePath().toStdString());

        // A folder was chosen before: the chooser opens without the information dialog, and the
        // field takes a typed folder too.
        again.setFolderChooser([&](QWidget*) { return std::optional<QString>(destination.path()); });
        road.chooseMedium("_rec_mode_Photo");
        road.click("_browse_path");
        QCOMPARE(h_->prompter->modalRuns.size(), dialogs);
        auto* path = h_->outlet<QLineEdit>("_path");
        QVERIFY(!path->isReadOnly() && path->completer());
        path->clear();
        QTest::keyClicks(path, "/tmp");
        QCOMPARE(text("_path_Sig"), QString("/tmp"));
    }

    void onlyThoroughTypesWithThoroughOffAreRefusedBeforeTheScan() {
        MyTableController& c = start();
        const Road road{*h_};
        road.chooseMedium("_rec_mode_RawFile");
        road.click("_next_btn");
        h_->outlet<QCheckBox>("_select_unselect_Chk")->click();
        auto& rows = c.nsCheckedListDataObject();
        const auto thoroughOnly =
            std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row.Thoro == "YES"; });
        QVERIFY(thoroughOnly != rows.end());
        thoroughOnly->State = 1;
        h_->outlet<QCheckBox>("_Thro_Mode_Chk_SIG")->click();
        road.click("_next_btn");
        QCOMPARE(h_->prompter->alerts.size(), 1u);
        QVERIFY(h_->prompter->alerts[0].message.startsWith(
            "\nThe checked file types are found only by the thorough"));
        QCOMPARE(c.screen_counter(), 2);
        QVERIFY(!c.scanBridge().isRunning());
    }

    void diskImagesAreProbedAndEmptyOnesRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fat");
        QTest::addColumn<QString>("fileSystem");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<bool>("refused");
        QTest::newRow("FAT file system") << QByteArray() << true << "MS-DOS (FAT12)"
                                         << "QUARRYCARD" << false;
        QTest::newRow("no file system") << QByteArray(64 * 512, '\0') << false << "Disk Image"
                                        << "card" << false;
        QTest::newRow("0 bytes") << QByteArray() << false << ""
                                 << "" << true;
        QTest::newRow("shorter than a sector") << QByteArray(100, 'x') << false << ""
                                               << "" << true;
    }

    void diskImagesAreProbedAndEmptyOnesRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fat);
        QFETCH(QString, fileSystem);
        QFETCH(QString, volume);
        QFETCH(bool, refused);
        const QString image = h_->path("card.img");
        writeFile(image, bytes);
        if (fat) {
            const QString mkfs =
                QStandardPaths::findExecutable("mkfs.vfat", {"/usr/sbin", "/sbin", "/usr/bin"});
            if (mkfs.isEmpty())
                QSKIP("mkfs.vfat is not installed");
            QFile::remove(image);
            QCOMPARE(QProcess::execute(mkfs, {"-C", "-n", volume, image, "1024"}), 0);
        }
        MyTableController& c = start();
        const std::size_t media = c.nsMutaryOfDataObject().size();
        c.openDiskImage(image);
        if (refused) {
            QCOMPARE(h_->prompter->alerts.size(), 1u);
            QVERIFY(h_->prompter->alerts[0].message.contains("smaller than one sector"));
            QCOMPARE(c.nsMutaryOfDataObject().size(), media);
            return;
        }
        QVERIFY(h_->prompter->alerts.empty());
        const quarry::media::MyDataObject& record = c.nsMutaryOfDataObject().back();
        QCOMPARE(QString::fromStdString(record.nsStrFileSystem), fileSystem);
        QCOMPARE(QString::fromStdString(record.nsStrVolName.value_or("")), volume);
    }
};

QTEST_MAIN(KeysTest)
#include "keys_test.moc"
