#include "app/scan_session.h"
#include "road_support.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStandardPaths>
#include <atomic>
#include <chrono>
#include <thread>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

const QStringList kFiles{"092_032270.pdf", "071_LibreOfficeWriter_odt_1.3.odt", "038_right.gif",
                         "066_text_only.doc"};
const QString kExitPrompt = QStringLiteral("\nDo you really want to exit from 'Quarry Professional'?");

// Reads like the file it wraps, but each read first runs `beforeRead`.
class WatchedSource final : public quarry::carving::SectorSource {
public:
    WatchedSource(std::unique_ptr<quarry::carving::SectorSource> inner, std::function<void()> beforeRead)
        : inner_(std::move(inner)), beforeRead_(std::move(beforeRead)) {}
    std::uint64_t sectorCount() const override { return inner_->sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        beforeRead_();
        return inner_->readSectors(first, count, out);
    }

private:
    std::unique_ptr<quarry::carving::SectorSource> inner_;
    std::function<void()> beforeRead_;
};

qint64 fileSize(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).size();
}

// Waits, a few seconds at most, while `busy` holds.
template <typename Busy> void waitWhile(Busy busy) {
    for (int i = 0; i < 5000 && busy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

class PreviewExitTest : public QObject {
    Q_OBJECT
private:
    // Starts the application and runs a whole scan of the image in the given mode.
    MyTableController& scanFiles(const char* radio) {
        MyTableController& c = h_->start();
        c.setTerminator([this] { ++terminations_; });
        if (!Road{*h_}.scan(radio))
            qFatal("scan did not end");
        return c;
    }

    void selectOnly(int row) {
        QListView* browser = h_->controller->imageBrowser_2();
        browser->selectionModel()->select(browser->model()->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect);
    }

    // Selects `row` and waits until its preview copy has ended.
    void select(int row) {
        selectOnly(row);
        QTRY_VERIFY(!h_->controller->scanSession().previewSheet());
    }

    std::unique_ptr<Harness> h_;
    DiskImage image_;
    int terminations_ = 0;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init() {
        h_ = std::make_unique<Harness>();
        copyResources(*h_);
        image_ = buildImage(h_->path("files.img"), kFiles);
        h_->media = {imageRecord(image_)};
        terminations_ = 0;
    }

    void cleanup() {
        h_.reset();
        QDir(QString::fromStdString(MyTableController::privatePreviewFolder())).removeRecursively();
    }

    void previewCopiesTheItemsSectorsAndShowsIt() {
        MyTableController& c = scanFiles("_rec_mode_RawFile");
        const QList<ShownItem> items = shownItems(c, true);
        const auto pdf = std::find_if(items.begin(), items.end(), [](const ShownItem& i) {
            return i.name.endsWith(".pdf", Qt::CaseInsensitive);
        });
        // The Word file is found by the record of its container family.
        const auto doc = std::find_if(items.begin(), items.end(), [](const ShownItem& i) {
            return i.name.endsWith(".ole", Qt::CaseInsensitive);
        });
        QVERIFY(pdf != items.end() && doc != items.end());
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(),
                 QString("No file is selected to preview"));

        select(static_cast<int>(pdf - items.begin()));
        const std::string pdfFile = c.Demo_Test_File();
        QCOMPARE(QString::fromStdString(pdfFile), h_->path("dprv." + pdf->name.section('.', -1)));
        QCOMPARE(fileSize(pdfFile), static_cast<qint64>((pdf->end - pdf->start) * 512));
        QCOMPARE(QFile::permissions(QString::fromStdString(pdfFile)) & 0x0077, QFileDevice::Permissions());
        // The copy starts with the item's first sector: the PDF header.
        QFile copy(QString::fromStdString(pdfFile));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.read(5), QByteArray("%PDF-"));
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(), pdf->name);
        QVERIFY(!h_->outlet<QLabel>("_QuickLook_View")->pixmap().isNull());
        QCOMPARE(c.previewIndex(), static_cast<std::uint32_t>(pdf - items.begin()));
        QVERIFY(h_->controller->window()->findChild<QDialog*>("ClearPreview_Window")->isHidden());

        // Another type replaces the file: only the newest preview file is left.
        select(static_cast<int>(doc - items.begin()));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(pdfFile)));
        QCOMPARE(fileSize(c.Demo_Test_File()), static_cast<qint64>((doc->end - doc->start) * 512));
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(), doc->name);
    }

    void sameItemAgainIsNotPreparedTwice() {
        MyTableController& c = scanFiles("_rec_mode_RawFile");
        QVERIFY(c.images().rowCount() >= 2);
        select(0);
        const std::string file = c.Demo_Test_File();
        QVERIFY(QFile::remove(QString::fromStdString(file)));
        // A copy would put the sheet up as it starts.
        const auto nothingPrepared = [&] {
            return !c.scanSession().previewSheet() && !QFileInfo::exists(QString::fromStdString(file));
        };
        c.imageBrowserSelectionDidChange(c.imageBrowser_2());
        QVERIFY(nothingPrepared());
        // Extending the selection past the lowest item starts nothing either.
        QListView* browser = c.imageBrowser_2();
        browser->selectionModel()->select(browser->model()->index(1, 0), QItemSelectionModel::Select);
        QVERIFY(nothingPrepared());
        // Photo browser selections never preview.
        c.imageBrowserSelectionDidChange(c.imageBrowser());
        QVERIFY(nothingPrepared());
    }

    void unwritableResourceFolderFallsBackToAPrivateFolder() {
        MyTableController& c = scanFiles("_rec_mode_RawFile");
        QFile::setPermissions(h_->folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFileInfo(h_->folder.path()).isWritable())
            QSKIP("running with privileges that ignore folder permissions");
        select(0);
        const QString file = QString::fromStdString(c.Demo_Test_File());
        const QString privateFolder = QString::fromStdString(MyTableController::privatePreviewFolder());
        QCOMPARE(QFileInfo(file).absolutePath(), privateFolder);
        QCOMPARE(QFileInfo(file).size(),
                 static_cast<qint64>(shownItems(c, true)[0].end - shownItems(c, true)[0].start) * 512);
        QCOMPARE(QFile::permissions(privateFolder) & 0x0077, QFileDevice::Permissions());
        writeFile(QDir(privateFolder).filePath("dprv.old"), "x");

        h_->prompter->answers = {0};
        QVERIFY(c.Exit_App());
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(!QFileInfo::exists(QDir(privateFolder).filePath("dprv.old")));
        QFile::setPermissions(h_->folder.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // The scan reaches its end while the preview is copying: the copy stops early, the sheet
    // closes, and only then is the end-of-scan dialog shown, once.
    void scanEndingDuringACopyRunsTheEndStepOnceAfterIt() {
        const DiskImage image = buildImage(h_->path("big.img"), kFiles, 3 << 20);
        h_->media = {imageRecord(image)};
        MyTableController& c = h_->start();
        GatedSource::Gate gate;
        const std::uint64_t gateSector = quarry::carving::kDefaultBlockSectors;
        int opened = 0;
        std::atomic<bool> sheetUpDuringCopy{false};
        c.setSourceOpener([&](const std::string& path) -> std::unique_ptr<quarry::carving::SectorSource> {
            auto inner = quarry::carving::openFileSource(path);
            if (++opened == 1)
                return std::make_unique<GatedSource>(std::move(inner), gateSector, gate);
            // The preview's own handle: the scan may now finish; the copy waits until it has.
            return std::make_unique<WatchedSource>(std::move(inner), [&] {
                sheetUpDuringCopy = c.scanSession().previewSheet() != nullptr;
                gate.release();
                waitWhile([&] { return c.scanSession().control().stop_now.load() != 1; });
            });
        });
        const Road road{*h_};
        road.chooseMedium("_rec_mode_RawFile");
        road.click("_next_btn");
        road.click("_next_btn");
        QTRY_VERIFY(gate.isReached());
        QTRY_VERIFY(c.images().rowCount() > 0);
        const ShownItem item = shownItems(c, true)[0];
        QVERIFY(item.end - item.start > 1);
        QVERIFY(h_->prompter->modalRuns.empty());

        std::vector<bool> sheetUpAtEndStep;
        h_->prompter->onModal = [&](QDialog&) {
            sheetUpAtEndStep.push_back(c.scanSession().previewSheet() != nullptr);
        };
        select(0);
        QVERIFY(sheetUpDuringCopy);
        QTRY_VERIFY(!c.scanBridge().isRunning());
        QTest::qWait(50);
        QCOMPARE(sheetUpAtEndStep, std::vector<bool>{false});
        QCOMPARE(h_->prompter->modalRuns.size(), 1u);
        QCOMPARE(h_->prompter->modalRuns[0].objectName, QString("SaveFile_Info_For_RAW_Window"));
        // The copy stopped at the first sector after the scan's end.
        QCOMPARE(fileSize(c.Demo_Test_File()), 512);
        QCOMPARE(c.scanSession().control().stop_now.load(), 0);
        QVERIFY(h_->outlet("_back_btn")->isEnabled());
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(), item.name);
    }

    // Selections made while a copy runs wait for it; only the latest is then copied and shown.
    // Closing the window stops a copy at its next sector.
    void selectionsDuringACopyShowOnlyTheLatest() {
        MyTableController& c = scanFiles("_rec_mode_RawFile");
        const QList<ShownItem> items = shownItems(c, true);
        QVERIFY(items.size() >= 3);
        std::atomic<bool> held{true};
        std::atomic<int> reads{0};
        int opened = 0;
        c.setSourceOpener([&](const std::string& path) {
            ++opened;
            return std::make_unique<WatchedSource>(quarry::carving::openFileSource(path), [&] {
                ++reads;
                waitWhile([&] { return held && c.scanSession().control().stop_now.load() != 1; });
            });
        });
        selectOnly(0);
        QTRY_VERIFY(reads > 0);
        selectOnly(1);
        selectOnly(2);
        QVERIFY(c.scanSession().previewSheet());
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(),
                 QString("No file is selected to preview"));
        held = false;
        QTRY_VERIFY(!c.scanSession().previewSheet());
        QCOMPARE(opened, 2);
        QCOMPARE(h_->outlet<QGroupBox>("_QuickLook_View_Box")->title(), items[2].name);
        QCOMPARE(QString::fromStdString(c.Demo_Test_File()),
                 h_->path("dprv." + items[2].name.section('.', -1)));
        QCOMPARE(fileSize(c.Demo_Test_File()), static_cast<qint64>((items[2].end - items[2].start) * 512));
        QCOMPARE(c.previewIndex(), 2u);

        held = true;
        reads = 0;
        selectOnly(0);
        QTRY_VERIFY(reads > 0);
        const std::string file = c.Demo_Test_File();
        h_->controller.reset();
        QCOMPARE(fileSize(file), 512);
    }

    // Exit and closing the window both ask; No keeps everything, Yes deletes only preview files.
    void exitAsksAndDeletesOnlyPreviewFiles() {
        h_->prompter->answers = {1};
        QVERIFY(!h_->start().window()->close());
        QVERIFY(h_->controller->window()->isVisible());
        QCOMPARE(h_->prompter->alerts.back().message, kExitPrompt);
        // Nothing found, nothing to lose.
        QCOMPARE(h_->prompter->alerts.back().informativeText, QString());

        MyTableController& c = scanFiles("_rec_mode_RawFile");
        select(0);
        const QString preview = QString::fromStdString(c.Demo_Test_File());
        QVERIFY(QFileInfo::exists(preview));
        const QStringList removed{"dprv", "dprv.tmp", "dprv.MOV"};
        const QStringList kept{"dprvx.jpg", "DPRV.jpg", "Dprv.png", "dprv.tar.gz", "sub/dprv.jpg", ".dprv"};
        QDir(h_->folder.path()).mkdir("sub");
        for (const QString& name : removed + kept)
            writeFile(h_->path(name), "x");

        h_->prompter->answers = {1};
        QVERIFY(!c.Exit_App());
        QCOMPARE(h_->prompter->alerts.back().message, kExitPrompt);
        QCOMPARE(h_->prompter->alerts.back().buttons, (QStringList{"Yes", "No"}));
        // Nothing was saved: the prompt says what would be lost.
        QCOMPARE(h_->prompter->alerts.back().informativeText,
                 QString("%1 found file(s) have not been saved.").arg(c.images().rowCount()));
        QVERIFY(QFileInfo::exists(preview));
        QCOMPARE(terminations_, 0);
        QCOMPARE(c.screen_counter(), 3);

        // Quitting closes the window, as Qt 6 does, and that close asks no second time.
        h_->prompter->answers = {0};
        const std::size_t asked = h_->prompter->alerts.size();
        c.setTerminator([&] {
            ++terminations_;
            c.window()->close();
        });
        QTest::mouseClick(h_->outlet<QAbstractButton>("_exit_btn"), Qt::LeftButton);
        QCOMPARE(h_->prompter->alerts.size(), asked + 1);
        QCOMPARE(terminations_, 1);
        QVERIFY(!c.window()->isVisible());
        QVERIFY(!QFileInfo::exists(preview));
        for (const QString& name : removed)
            QVERIFY2(!QFileInfo::exists(h_->path(name)), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFileInfo::exists(h_->path(name)), qPrintable(name));
        QVERIFY(QFileInfo::exists(h_->path("QRYRaw.dll")));
    }
};

QTEST_MAIN(PreviewExitTest)
#include "preview_exit_test.moc"
