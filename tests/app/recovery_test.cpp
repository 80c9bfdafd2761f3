#include "app/choose_bar.h"
#include "carving/ui/scanbridge.h"
#include "media/volume_description.h"
#include "results/destination_check.h"
#include "results/saver.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"
#include "results/ui/recovery_writer.h"
#include "road_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

using namespace quarry;
using namespace quarry::app;
using namespace quarry::app::test;

namespace {

const QString kCorpus = QStringLiteral(QUARRY_TEST_CORPUS_DIR);
const QString kResources = QStringLiteral(QUARRY_TEST_RESOURCE_DIR);
const QString kCarver = QStringLiteral(QUARRY_TEST_BIN_DIR "/quarry-carve");

// Photos, documents, a movie and a sound, planted on sector boundaries between stretches of
// zeros and of seeded noise, as on a card whose file system is gone.
const char* const kPlanted[] = {
    "040_Canon_40D.jpg", "033_atop.gif",   "018_julia-set.png", "044_Canon_PowerShot_S40.jpg",
    "029_default.docx",  "092_032270.pdf", "079_png.mov",       "104_audio-mpeg1layer3.mp3",
    "061_BlueSquare.jpg"};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void buildCardImage(const QString& path) {
    std::mt19937 random(20240611);
    QByteArray image(64 * 512, '\0');
    bool noise = false;
    for (const char* name : kPlanted) {
        image += readAll(kCorpus + QLatin1Char('/') + QLatin1String(name));
        const qsizetype gap =
            (512 - image.size() % 512) % 512 + 512 * static_cast<qsizetype>(8 + random() % 24);
        for (qsizetype i = 0; i < gap; ++i)
            image += noise ? static_cast<char>(random()) : '\0';
        noise = !noise;
    }
    // A document whose structure does not hold: the header, then nothing.
    image += QByteArray("%PDF-1.7\n").leftJustified(512, '\0');
    image += QByteArray(64 * 512, '\0');
    writeFile(path, image);
}

// A FAT32 card with DCIM/100MEDIA holding a photo and a note, quick-formatted after; false
// without dosfstools and mtools.
bool buildFatCard(const QString& path) {
    const QString note = path + QStringLiteral(".txt");
    writeFile(note, QByteArray("a note\n"));
    const QString script = QStringLiteral(
        "set -e; export MTOOLS_SKIP_CHECK=1; truncate -s 64M \"$1\"; mkfs.vfat -F 32 -s 1 \"$1\";"
        "mmd -i \"$1\" ::DCIM ::DCIM/100MEDIA; mcopy -m -i \"$1\" \"$2\" ::DCIM/100MEDIA/IMG_2034.JPG;"
        "mcopy -m -i \"$1\" \"$3\" ::DCIM/100MEDIA/note.txt; mkfs.vfat -F 32 -s 1 \"$1\"");
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), path,
                                                    kCorpus + QStringLiteral("/004_the-mouse.jpg"), note}) ==
           0;
}

// Every file below `folder` by its path there, temporary files included.
std::map<QString, QByteArray> treeOf(const QString& folder) {
    std::map<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree[QDir(folder).relativeFilePath(path)] = readAll(path);
    }
    return tree;
}

std::map<QString, QByteArray> carveWithCli(const QString& mode, const QString& image, const QString& output,
                                           bool keepRejected = false) {
    QProcess carver;
    QStringList args{QStringLiteral("--mode"),   mode,   QStringLiteral("--resources"), kResources,
                     QStringLiteral("--output"), output, QStringLiteral("--json"),      image};
    if (keepRejected)
        args.prepend(QStringLiteral("--keep-rejected"));
    carver.start(kCarver, args);
    if (!carver.waitForFinished(120000) || carver.exitCode() != 0)
        qWarning() << "quarry-carve failed:" << carver.readAllStandardError();
    return treeOf(output);
}

// A destination file system with little room left; optionally held shut until released.
class TinyDisk final : public results::SaveFileSystem {
public:
    explicit TinyDisk(std::uint64_t room, bool gated = false) : room_(room), open_(!gated) {}

    std::optional<std::uint64_t> availableBytes(const std::filesystem::path&) override {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
        return room_;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        {
            std::lock_guard lock(mutex_);
            if (size > room_) {
                errno = ENOSPC;
                return -1;
            }
            room_ -= size;
        }
        return ::write(fd, data, size);
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    std::uint64_t room_;
    bool open_;
};

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private:
    MyTableController& start() {
        h_->media = {mediaRecord("sda1", "1000")};
        return h_->start();
    }

    void openImage(const QString& path) {
        h_->controller->setDiskImageChooser([path](QWidget*) { return std::optional<QString>(path); });
        h_->outlet<QPushButton>("_open_image_btn")->click();
    }

    // The whole road through the wizard on the opened image; waits until the scan and its saving
    // have ended.
    void scan(Mode mode, const QString& destination) {
        MyTableController& c = *h_->controller;
        if (mode == Mode::Video)
            c.Video_Mode_Radio();
        else if (mode == Mode::RawFile)
            c.RawFile_Mode_Radio();
        c.Next_btn();
        QCOMPARE(c.screen_counter(), 1);
        pathField()->setText(destination);
        h_->outlet<QLineEdit>("_path_Sig")->setText(destination);
        c.Next_btn();
        if (mode != Mode::Photo)
            c.Next_btn();
        QTRY_VERIFY_WITH_TIMEOUT(!c.scanBridge().isRunning(), 120000);
        QCoreApplication::processEvents();
        c.recoveryWriter().waitForIdle();
        QCoreApplication::processEvents();
    }

    QLineEdit* pathField() const { return h_->outlet<QLineEdit>("_path"); }
    QTemporaryDir work_;
    QString image_;
    QString fatCard_; // empty where it cannot be built
    std::unique_ptr<Harness> h_;

private slots:
    void initTestCase() {
        QVERIFY(QFileInfo::exists(kCarver));
        image_ = work_.filePath(QStringLiteral("card.img"));
        buildCardImage(image_);
        fatCard_ = work_.filePath(QStringLiteral("fat.img"));
        if (!buildFatCard(fatCard_))
            fatCard_.clear();
    }

    void init() {
        h_ = std::make_unique<Harness>();
        copyResources(*h_);
    }

    void cleanup() { h_.reset(); }

    void savingDuringAScanMatchesTheCarver_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("cliMode");
        QTest::addColumn<bool>("keepRejected");
        QTest::addColumn<bool>("fatCard"); // files named from their traces
        QTest::newRow("photo") << Mode::Photo << QStringLiteral("photo") << false << false;
        QTest::newRow("video") << Mode::Video << QStringLiteral("video") << false << false;
        QTest::newRow("raw file") << Mode::RawFile << QStringLiteral("raw") << false << false;
        QTest::newRow("raw file, keeping rejected files")
            << Mode::RawFile << QStringLiteral("raw") << true << false;
        QTest::newRow("photo, FAT32 card") << Mode::Photo << QStringLiteral("photo") << false << true;
        QTest::newRow("raw file, FAT32 card") << Mode::RawFile << QStringLiteral("raw") << false << true;
    }

    void savingDuringAScanMatchesTheCarver() {
        QFETCH(Mode, mode);
        QFETCH(QString, cliMode);
        QFETCH(bool, keepRejected);
        QFETCH(bool, fatCard);
        if (fatCard && fatCard_.isEmpty())
            QSKIP("dosfstools and mtools are needed for a FAT32 card");
        const QString image = fatCard ? fatCard_ : image_;
        MyTableController& c = start();
        openImage(image);
        QTemporaryDir gui;
        QTemporaryDir cli;
        // The box of either destination box ticks both.
        h_->outlet<QCheckBox>("_keep_rejected_Chk_Sig")->setChecked(keepRejected);
        QCOMPARE(h_->outlet<QCheckBox>("_keep_rejected_Chk")->isChecked(), keepRejected);
        scan(mode, gui.path());

        const auto expected = carveWithCli(cliMode, image, cli.path(), keepRejected);
        QVERIFY(!expected.empty());
        const bool named = std::any_of(expected.begin(), expected.end(), [](const auto& file) {
            return file.first.endsWith(QStringLiteral("/Found by name/100MEDIA/IMG_2034.JPG"));
        });
        QCOMPARE(named, fatCard);
        const auto saved = treeOf(gui.path());
        QCOMPARE(saved, expected);
        // A raw-file scan also saves the files known only from their traces, which are no items.
        const auto byName = std::count_if(expected.begin(), expected.end(), [](const auto& file) {
            return file.first.contains(QStringLiteral("/Found by name/"));
        });
        const auto tracedOnly = static_cast<std::uint64_t>(mode == Mode::RawFile ? byName : 0);
        QCOMPARE(c.recoveryWriter().savedCount(), static_cast<std::uint64_t>(expected.size()) - tracedOnly);
        QCOMPARE(c.recoveryWriter().savedCount() + c.recoveryWriter().skippedCount(),
                 c.recoveryWriter().foundCount());
        const bool rejectedKept = std::any_of(saved.begin(), saved.end(), [](const auto& file) {
            return file.first.contains(QStringLiteral("/Unverified/"));
        });
        QCOMPARE(rejectedKept, keepRejected);
        QVERIFY(h_->prompter->alerts.empty());

        // Every item's tooltip says what became of it: the thorough pass's copies of photos saved
        // already are marked, a traced file gives its original name. A raw-file scan also lists the
        // files known only from their traces.
        const results::ImagesModel& images = c.images();
        int copies = 0;
        int originals = 0;
        int verified = 0;
        bool listed = false;
        for (int row = 0; row < images.numberOfItems(); ++row) {
            const QString tip = images.data(images.index(row), Qt::ToolTipRole).toString();
            QVERIFY2(tip.contains(QLatin1Char('\n')), qPrintable(tip));
            copies += tip.contains(QStringLiteral("Copy of GND")) ? 1 : 0;
            originals += tip.contains(QStringLiteral("Original name: 100MEDIA/IMG_2034.JPG")) ? 1 : 0;
            verified += images.index(row).data(results::ImagesModel::CheckRole).toInt() ==
                        static_cast<int>(results::FileCheck::Verified);
            listed = listed || images.itemAtIndex(row).imageTitle() == QStringLiteral("note.txt");
        }
        QCOMPARE(copies > 0, mode == Mode::Photo);
        QCOMPARE(originals > 0, fatCard);
        QCOMPARE(listed, fatCard && mode == Mode::RawFile);

        // The filters see the checks and copy marks: verified only, then without copies.
        results::FoundItemsFilter& shown = c.foundItemsFilter();
        h_->outlet<QCheckBox>("_filter_verified")->setChecked(true);
        QCOMPARE(shown.rowCount(), verified);
        h_->outlet<QCheckBox>("_filter_verified")->setChecked(false);
        h_->outlet<QCheckBox>("_filter_hide_copies")->setChecked(true);
        for (int row = 0; row < images.numberOfItems(); ++row)
            QCOMPARE(shown.mapFromSource(images.index(row)).isValid(),
                     !images.index(row).data(results::ImagesModel::CopyRole).toBool());
    }

    void openFolderSavesWhatWasNotSavedThenShowsTheFolder() {
        MyTableController& c = start();
        openImage(image_);
        QTemporaryDir gui;
        QTemporaryDir cli;
        scan(Mode::RawFile, QString());
        QVERIFY(c.recoveryWriter().foundCount() > 0);
        QCOMPARE(c.recoveryWriter().savedCount(), std::uint64_t{0});
        QVERIFY(treeOf(gui.path()).empty());

        // No destination yet: the folder information, then the chooser, then the progress.
        c.setFolderChooser([&](QWidget*) { return std::optional<QString>(gui.path()); });
        QString firstProgress;
        h_->prompter->onModal = [&](QDialog& dialog) {
            if (auto* files = dialog.findChild<QLabel*>(QStringLiteral("_recovery_files")))
                firstProgress = files->text();
        };
        h_->outlet<QPushButton>("_open_folder_Sig")->click();

        QStringList runs;
        for (const auto& run : h_->prompter->modalRuns)
            runs << run.objectName;
        QCOMPARE(runs.mid(runs.size() - 2), QStringList({QStringLiteral("BrowseInfo_Window"),
                                                         QStringLiteral("RecoveryProgress_Window")}));
        QCOMPARE(firstProgress, QStringLiteral("Files: 0 of %1").arg(c.recoveryWriter().foundCount()));
        QCOMPARE(pathField()->text(), gui.path());
        const auto expected = carveWithCli(QStringLiteral("raw"), image_, cli.path());
        QCOMPARE(treeOf(gui.path()), expected);
        const QString results = QString::fromStdString(
            results::resultsFolder(gui.path().toStdString(), results::SearchKind::File).string());
        QCOMPARE(h_->opened, std::vector<QUrl>({QUrl::fromLocalFile(results)}));

        // Everything is saved now: a second press writes nothing again and just shows the folder.
        const std::size_t runsBefore = h_->prompter->modalRuns.size();
        h_->outlet<QPushButton>("_open_folder_Sig")->click();
        QCOMPARE(h_->prompter->modalRuns.size(), runsBefore);
        QCOMPARE(treeOf(gui.path()), expected);
        QCOMPARE(h_->opened.size(), std::size_t{2});
        QVERIFY(h_->prompter->alerts.empty());
    }

    void recoverSelectedSavesTheVisibleSelection_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("minKilobytes");
        QTest::addColumn<int>("minSide");
        QTest::addColumn<bool>("all");
        QTest::newRow("photos: JPG, all of them") << Mode::Photo << QStringLiteral("JPG") << 0 << 0 << true;
        QTest::newRow("photos: 200 pixels and up, the first two")
            << Mode::Photo << QString() << 0 << 200 << false;
        QTest::newRow("files: 100 KB and up, the first two")
            << Mode::RawFile << QString() << 100 << 0 << false;
    }

    // What is saved is what is selected among what the filters show; nothing else.
    void recoverSelectedSavesTheVisibleSelection() {
        QFETCH(Mode, mode);
        QFETCH(QString, type);
        QFETCH(int, minKilobytes);
        QFETCH(int, minSide);
        QFETCH(bool, all);
        MyTableController& c = start();
        openImage(image_);
        scan(mode, QString());
        auto* recover = h_->outlet<QPushButton>("_recover_selected");
        QVERIFY(!recover->isHidden());
        QVERIFY(!recover->isEnabled());

        if (!type.isEmpty())
            h_->outlet<QComboBox>("_filter_type")->setCurrentText(type);
        h_->outlet<QSpinBox>("_filter_min_size")->setValue(minKilobytes);
        if (mode == Mode::Photo) {
            h_->outlet<QSpinBox>("_filter_min_width")->setValue(minSide);
            h_->outlet<QSpinBox>("_filter_min_height")->setValue(minSide);
        }
        const results::ImagesModel& images = c.images();
        const results::FoundItemsFilter& shown = c.foundItemsFilter();
        QVERIFY(!(shown.filter() == results::ItemFilter()));
        QVERIFY(shown.rowCount() >= 2);
        QVERIFY(shown.rowCount() < images.numberOfItems());

        QListView* browser = mode == Mode::Photo ? c.imageBrowser() : c.imageBrowser_2();
        if (all) {
            browser->setFocus();
            QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier);
        } else {
            browser->selectionModel()->select(browser->model()->index(0, 0), QItemSelectionModel::Select);
            browser->selectionModel()->select(browser->model()->index(1, 0), QItemSelectionModel::Select);
        }
        std::set<int> chosen;
        std::uint64_t chosenBytes = 0;
        for (const QModelIndex& index : browser->selectionModel()->selectedIndexes()) {
            chosen.insert(shown.mapToSource(index).row());
            chosenBytes += index.data(results::ImagesModel::BytesRole).toULongLong();
        }
        QCOMPARE(static_cast<int>(chosen.size()), all ? shown.rowCount() : 2);
        QCOMPARE(h_->outlet<QLabel>("_selection_label")->text(), selectionText(chosen.size(), chosenBytes));
        QVERIFY(recover->isEnabled());

        QTemporaryDir gui;
        pathField()->setText(gui.path());
        recover->click();
        // Exactly the chosen items went through saving; each is checked, saved or skipped.
        const auto checked = [&] {
            std::set<int> rows;
            for (int row = 0; row < images.numberOfItems(); ++row) {
                if (images.index(row).data(results::ImagesModel::CheckRole).toInt() !=
                    results::ImagesModel::kNotChecked)
                    rows.insert(row);
            }
            return rows;
        };
        QTRY_VERIFY(checked() == chosen);
        const auto saved = treeOf(gui.path());
        QCOMPARE(static_cast<std::uint64_t>(saved.size()), c.recoveryWriter().savedCount());
        QCOMPARE(c.recoveryWriter().savedCount() + c.recoveryWriter().skippedCount(),
                 static_cast<std::uint64_t>(chosen.size()));
        std::uint64_t savedBytes = 0;
        for (const auto& [name, bytes] : saved)
            savedBytes += static_cast<std::uint64_t>(bytes.size());
        const QString results = QString::fromStdString(
            results::resultsFolder(gui.path().toStdString(), c.recoveryWriter().scannedKind()).string());
        QCOMPARE(h_->outlet<QLabel>("_saved_label")->text(), savedText(saved.size(), savedBytes, results));
        // The folder opens on request only; a desktop that cannot open it says so.
        QVERIFY(h_->opened.empty());
        h_->outlet<QPushButton>("_show_folder_btn")->click();
        QCOMPARE(h_->opened, std::vector<QUrl>({QUrl::fromLocalFile(results)}));
        c.setUrlOpener([](const QUrl&) { return false; });
        h_->outlet<QPushButton>("_show_folder_btn")->click();
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
        QVERIFY(h_->prompter->alerts[0].message.startsWith(QStringLiteral("\nThe folder")));
    }

    void cancelledBatchKeepsTheRestForLater() {
        MyTableController& c = start();
        openImage(image_);
        QTemporaryDir gui;
        scan(Mode::Photo, QString());
        const std::uint64_t found = c.recoveryWriter().foundCount();
        QVERIFY(found > 2);

        // The destination holds the first file until Cancel has been pressed.
        TinyDisk held(std::uint64_t{1} << 40, true);
        c.recoveryWriter().setFileSystem(&held);
        pathField()->setText(gui.path());
        h_->prompter->modalAnswer = QDialog::Rejected;
        h_->prompter->onModal = [&](QDialog& dialog) {
            dialog.findChild<QPushButton*>(QStringLiteral("_recovery_cancel"))->click();
            held.open();
        };
        h_->outlet<QPushButton>("_open_folder")->click();
        QVERIFY(c.recoveryWriter().savedCount() <= 1);
        QVERIFY(h_->opened.empty());
        for (const auto& [name, bytes] : treeOf(gui.path()))
            QVERIFY2(!QFileInfo(name).fileName().startsWith(QLatin1Char('.')), qPrintable(name));

        c.recoveryWriter().setFileSystem(nullptr);
        h_->prompter->modalAnswer = QDialog::Accepted;
        h_->prompter->onModal = nullptr;
        h_->outlet<QPushButton>("_open_folder")->click();
        QCOMPARE(c.recoveryWriter().savedCount() + c.recoveryWriter().skippedCount(), found);
        QCOMPARE(treeOf(gui.path()).size(), static_cast<std::size_t>(c.recoveryWriter().savedCount()));
        QCOMPARE(h_->opened.size(), std::size_t{1});
    }

    void destinationOnTheScannedDiskOrUnwritableIsRefused() {
        MyTableController& c = start();
        openImage(image_);
        QTemporaryDir gui;
        std::vector<std::pair<std::string, std::string>> asked;
        bool sameDisk = true;
        c.setDestinationChecker([&](const std::filesystem::path& destination, const std::string& source) {
            asked.emplace_back(destination.string(), source);
            return sameDisk ? std::optional<std::string>(results::kSameDiskAlert) : std::nullopt;
        });
        scan(Mode::Video, gui.path());

        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
        QCOMPARE(h_->prompter->alerts[0].message, QString::fromUtf8(results::kSameDiskAlert));
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].first,
                 results::resultsFolder(gui.path().toStdString(), results::SearchKind::Video).string());
        QCOMPARE(asked[0].second, QFileInfo(image_).absoluteFilePath().toStdString());
        QVERIFY(c.recoveryWriter().foundCount() > 0);
        QVERIFY(QDir(gui.path()).isEmpty());
        // The refused folder is forgotten, so the open-folder button asks for another one.
        QVERIFY(pathField()->text().isEmpty());

        c.setFolderChooser([&](QWidget*) { return std::optional<QString>(gui.path()); });
        h_->outlet<QPushButton>("_open_folder_Sig")->click();
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{2});
        QCOMPARE(h_->prompter->alerts[1].message, QString::fromUtf8(results::kSameDiskAlert));
        QVERIFY(QDir(gui.path()).isEmpty());
        QVERIFY(h_->opened.empty());

        // A folder that cannot be written is refused and forgotten too.
        sameDisk = false;
        QTemporaryFile blocker;
        QVERIFY(blocker.open());
        pathField()->setText(blocker.fileName() + "/below");
        h_->outlet<QPushButton>("_open_folder_Sig")->click();
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{3});
        QVERIFY(
            h_->prompter->alerts[2].message.startsWith("\nFound files cannot be saved into the destination"));
        QVERIFY(pathField()->text().isEmpty());
        QCOMPARE(c.recoveryWriter().savedCount(), std::uint64_t{0});

        h_->outlet<QPushButton>("_open_folder_Sig")->click();
        QCOMPARE(c.recoveryWriter().savedCount() + c.recoveryWriter().skippedCount(),
                 c.recoveryWriter().foundCount());
        QCOMPARE(h_->opened.size(), std::size_t{1});
    }

    void fullDestinationStopsSavingAndLosesNothing() {
        MyTableController& c = start();
        openImage(image_);
        QTemporaryDir gui;
        QTemporaryDir cli;
        TinyDisk tiny(results::kFreeSpaceMargin + 64 * 1024);
        c.recoveryWriter().setFileSystem(&tiny);
        scan(Mode::Photo, gui.path());

        const std::uint64_t found = c.recoveryWriter().foundCount();
        const std::uint64_t saved = c.recoveryWriter().savedCount();
        QVERIFY(saved > 0);
        QVERIFY(saved < found);
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
        QCOMPARE(h_->prompter->alerts[0].message, QString::fromUtf8(results::kDestinationFullAlert));
        QCOMPARE(static_cast<std::uint64_t>(c.images().numberOfItems()), found);
        QCOMPARE(treeOf(gui.path()).size(), static_cast<std::size_t>(saved));

        // With room again, the open-folder button saves the rest, next to whole files only.
        const auto expected = carveWithCli(QStringLiteral("photo"), image_, cli.path());
        c.recoveryWriter().setFileSystem(nullptr);
        h_->outlet<QPushButton>("_open_folder")->click();
        QCOMPARE(treeOf(gui.path()), expected);
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
        QCOMPARE(h_->opened.size(), std::size_t{1});
    }

    void openedDiskImageStaysListed() {
        MyTableController& c = start();
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{1});
        openImage(image_);

        const auto size = QFileInfo(image_).size();
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{2});
        const media::MyDataObject image = c.nsMutaryOfDataObject()[1];
        QCOMPARE(image.nsStrSize, media::getMPSize(std::to_string(size)));
        QCOMPARE(image.nsStrSectors, std::to_string(size / 512));
        QCOMPARE(image.sourcePath, QFileInfo(image_).absoluteFilePath().toStdString());
        QCOMPARE(c.idTableView()->selectionModel()->selectedRows().value(0).row(), 1);

        // Opening it again selects the row it has.
        c.idTableView()->selectRow(0);
        openImage(image_);
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{2});
        QCOMPARE(c.idTableView()->selectionModel()->selectedRows().value(0).row(), 1);

        c.rebresh_drives();
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{2});
        QCOMPARE(c.nsMutaryOfDataObject()[0].nsStrDiskIdentifier, std::string("sda1"));
        QCOMPARE(c.nsMutaryOfDataObject()[1].nsStrDiskIdentifier, std::string("card.img"));

        c.idTableView()->selectRow(1);
        c.Next_btn();
        QCOMPARE(c.chosenMedium().sourcePath, image.sourcePath);
        QCOMPARE(h_->outlet<QLabel>("_sectors_val")->text(), QString::number(size / 512));
        QVERIFY(!h_->outlet<QPushButton>("_open_image_btn")->isVisible());
        c.Back_btn();
        QCOMPARE(c.screen_counter(), 0);
        QVERIFY(h_->outlet<QPushButton>("_open_image_btn")->isVisible());
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{2});
        QCOMPARE(c.nsMutaryOfDataObject()[1].sourcePath, image.sourcePath);

        // A file that cannot be read is not a medium; a cancelled chooser changes nothing.
        openImage(work_.filePath(QStringLiteral("missing.img")));
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
        QCOMPARE(h_->prompter->alerts[0].message, QStringLiteral("\nError in storage media reading."));
        c.setDiskImageChooser([](QWidget*) { return std::optional<QString>(); });
        h_->outlet<QPushButton>("_open_image_btn")->click();
        QCOMPARE(c.nsMutaryOfDataObject().size(), std::size_t{2});
        QCOMPARE(h_->prompter->alerts.size(), std::size_t{1});
    }

    void exitWritesWhatIsQueued() {
        MyTableController& c = start();
        openImage(image_);
        QTemporaryDir gui;
        // The destination takes nothing until after Exit was confirmed.
        TinyDisk held(std::uint64_t{1} << 40, true);
        c.recoveryWriter().setFileSystem(&held);
        c.Next_btn();
        pathField()->setText(gui.path());
        c.Next_btn();
        QTRY_VERIFY_WITH_TIMEOUT(!c.scanBridge().isRunning(), 120000);
        QCoreApplication::processEvents();
        const std::uint64_t found = c.recoveryWriter().foundCount();
        QVERIFY(found > 0);
        QCOMPARE(c.recoveryWriter().savedCount(), std::uint64_t{0});

        // What was written by the time the process would end.
        std::optional<std::uint64_t> savedAtTermination;
        c.setTerminator([&] { savedAtTermination = c.recoveryWriter().savedCount(); });
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            held.open();
        });
        const bool exited = c.Exit_App();
        release.join();
        QVERIFY(exited);
        QCOMPARE(savedAtTermination.value_or(0) + c.recoveryWriter().skippedCount(), found);
        QCOMPARE(treeOf(gui.path()).size(), static_cast<std::size_t>(c.recoveryWriter().savedCount()));
    }
};

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
