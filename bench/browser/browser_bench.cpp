// The main window with a scan that finds 100 000 small photos, headless: how long the scan
// takes beside quarry-carve without thumbnails, how long the event loop stalls meanwhile, how
// quickly clicks, Ctrl+A, scrolling and filtering are answered afterwards, and peak memory.
//
//   bench_browser [--items N] [--work DIR] [--carver PATH]
#include "app/mytablecontroller.h"
#include "carving/ui/scanbridge.h"
#include "results/ui/found_items_filter.h"
#include "results/ui/images_model.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QMainWindow>
#include <QProcess>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using quarry::app::Alert;
using quarry::app::MyTableController;

// Answers every prompt at once, as a user pressing the default button would.
class DefaultAnswers final : public quarry::app::Prompter {
public:
    int alert(QWidget*, const Alert& alert) override { return alert.defaultButton; }
    int runModal(QDialog&) override {
        ++modalRuns;
        return 1;
    }
    int modalRuns = 0;
};

// `count` small JPEGs, each starting on a sector boundary, behind 64 zero sectors.
QByteArray buildImage(int count) {
    QByteArray image(64 * 512, '\0');
    for (int i = 0; i < count; ++i) {
        QImage picture(16, 12, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i % 360, 200, 120 + i % 100));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG", 40);
        image += jpeg;
        image += QByteArray((512 - image.size() % 512) % 512, '\0');
    }
    image += QByteArray(64 * 512, '\0');
    return image;
}

std::uint64_t statusKilobytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key)))
                .trimmed()
                .split(' ')
                .value(0)
                .toULongLong();
    }
    return 0;
}

// Milliseconds that `work` and the repaint of `view` take.
double timed(QListView* view, const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void report(const char* what, double value, const char* unit) {
    std::printf("%-44s %10.1f %s\n", what, value, unit);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    int items = 100000;
    QString work;
    QString carver;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--items"))
            items = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--work"))
            work = args[i + 1];
        else if (args[i] == QLatin1String("--carver"))
            carver = args[i + 1];
    }
    QTemporaryDir scratch;
    if (work.isEmpty())
        work = scratch.path();
    QDir().mkpath(work);
    const QString imagePath = QDir(work).filePath(QStringLiteral("photos-%1.img").arg(items));
    if (!QFileInfo::exists(imagePath)) {
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(buildImage(items)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(imagePath));
            return 1;
        }
    }
    const auto sectors = static_cast<std::uint64_t>(QFileInfo(imagePath).size() / 512);

    auto prompter = std::make_shared<DefaultAnswers>();
    MyTableController controller(QUARRY_BENCH_RESOURCE_DIR, prompter);
    controller.setMediaLister([&] {
        quarry::media::MyDataObject medium;
        medium.nsStrDiskIdentifier = "bench";
        medium.nsStrVolName = std::string("BENCH");
        medium.nsStrFileSystem = "Disk Image";
        medium.nsStrSize = "-";
        medium.nsStrSectors = std::to_string(sectors);
        medium.sourcePath = imagePath.toStdString();
        return std::vector<quarry::media::MyDataObject>{medium};
    });
    controller.setUrlOpener([](const QUrl&) { return true; });
    controller.awakeFromNib();
    controller.window()->resize(1200, 800);
    controller.Photo_Mode_Radio();
    controller.idTableView()->selectRow(0);
    controller.Next_btn();
    // The general pass only: one item per planted photo.
    controller.window()->findChild<QCheckBox*>(QStringLiteral("_Thro_Mode_Chk"))->setChecked(false);

    // The event loop's longest wait for a 10 ms timer while the scan runs.
    QElapsedTimer tick;
    qint64 longestStall = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (tick.isValid())
            longestStall = std::max(longestStall, tick.elapsed() - 10);
        tick.restart();
    });
    probe.start();
    // The same scan without thumbnails and with them; the difference is their cost.
    const auto scanOnce = [&](std::size_t thumbnailJobs) {
        controller.scanBridge().items().setThumbnailJobs(thumbnailJobs);
        const int runsBefore = prompter->modalRuns;
        QElapsedTimer clock;
        clock.start();
        controller.Next_btn();
        while (prompter->modalRuns == runsBefore || controller.scanBridge().isRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return static_cast<double>(clock.elapsed()) / 1000.0;
    };
    const auto again = [&] {
        controller.Back_btn();
        controller.window()->findChild<QCheckBox*>(QStringLiteral("_Thro_Mode_Chk"))->setChecked(false);
    };
    // The first scan of a process pays for warming up; the two compared come after it.
    const double firstSeconds = scanOnce(SIZE_MAX);
    again();
    const double bareSeconds = scanOnce(0);
    again();
    longestStall = 0;
    tick.invalidate();
    const double guiSeconds = scanOnce(SIZE_MAX);
    probe.stop();

    double carverSeconds = 0;
    if (!carver.isEmpty()) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(carver,
                      {QStringLiteral("--mode"), QStringLiteral("photo"), QStringLiteral("--no-thorough"),
                       QStringLiteral("--resources"), QStringLiteral(QUARRY_BENCH_RESOURCE_DIR), imagePath});
        process.waitForFinished(-1);
        carverSeconds = static_cast<double>(clock.elapsed()) / 1000.0;
    }

    QListView* browser = controller.imageBrowser();
    const int found = controller.images().rowCount();
    std::printf("Window with %d found photos (%llu sectors), headless\n", found,
                static_cast<unsigned long long>(sectors));
    report("first scan in the window (cold)", firstSeconds, "s");
    report("scan in the window", guiSeconds, "s");
    report("scan in the window without thumbnails", bareSeconds, "s");
    report("thumbnails' share of the window's scan",
           100.0 * std::max(0.0, guiSeconds - bareSeconds) / guiSeconds, "%");
    if (carverSeconds > 0)
        report("scan by quarry-carve (no window)", carverSeconds, "s");
    report("longest event-loop stall during the scan", static_cast<double>(longestStall), "ms");

    const auto center = [&](int row) {
        return browser->visualRect(browser->model()->index(row, 0)).center();
    };
    double worst = 0;
    const auto measure = [&](const char* what, const std::function<void()>& step) {
        const double ms = timed(browser, step);
        worst = std::max(worst, ms);
        report(what, ms, "ms");
    };
    QScrollBar* bar = browser->verticalScrollBar();
    measure("click on an item",
            [&] { QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, center(0)); });
    measure("scroll to the middle", [&] { bar->setValue(bar->maximum() / 2); });
    measure("shift-click a visible item", [&] {
        const QModelIndex shown = browser->indexAt(QPoint(20, 20));
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          browser->visualRect(shown).center());
    });
    double page = 0;
    for (int i = 0; i < 20; ++i)
        page =
            std::max(page, timed(browser, [&] { bar->triggerAction(QAbstractSlider::SliderPageStepAdd); }));
    worst = std::max(worst, page);
    report("page down (slowest of 20)", page, "ms");
    measure("Ctrl+A", [&] { QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier); });
    measure("scroll to the end", [&] { bar->setValue(bar->maximum()); });
    auto* minSize = controller.window()->findChild<QSpinBox*>(QStringLiteral("_filter_min_size"));
    measure("filter: at least 1 KB", [&] { minSize->setValue(1); });
    measure("filter: cleared", [&] { minSize->setValue(0); });
    report("slowest answer", worst, "ms");
    report("memory now (RSS)", static_cast<double>(statusKilobytes("VmRSS:")) / 1024.0, "MiB");
    report("memory at its peak (RSS)", static_cast<double>(statusKilobytes("VmHWM:")) / 1024.0, "MiB");
    controller.setTerminator([] {});
    return found == items ? 0 : 2;
}
